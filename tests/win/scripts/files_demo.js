// A page script working with local files through the component hosted in the reader
// simulator: open, delete pages, save, read the file as base64 and close, all late-bound
// as page scripts call.
var failures = 0;
function check(cond, what) {
    if (!cond) { failures++; WScript.Echo("FAIL: " + what); }
}
var fso = new ActiveXObject("Scripting.FileSystemObject");
var dir = fso.BuildPath(fso.GetSpecialFolder(2).Path, "folium-files-" + fso.GetTempName());
var sim = null;
try {
    fso.CreateFolder(dir);
    var path = fso.BuildPath(dir, "contract.json");
    var f = fso.CreateTextFile(path, true, false);
    f.Write('{"type":"PDF","pages":[{"text":"one"},{"text":"two"},{"text":"three"},' +
            '{"annotations":[{"kind":12,"type":"Brimwell:AddSeal","rect":[10,10,60,60]}]}]}');
    f.Close();

    sim = new ActiveXObject("Quirex.Simulator.1");
    sim.Reset();
    check(sim.LoadAddIn("Veridane.FoliumFun.1") === 0, "the reader connects the component");
    var app = sim.Application;
    var folium = app.COMAddIns.Item("Veridane.FoliumFun.1").Object;

    check(folium.WebOpenLocalFile(path) === 1, "the document opens");

    check(folium.DeletePages(3, 4) === 0, "pages holding a seal are kept");
    check(folium.DeletePages(1, 2) === 2, "two pages deleted");
    check(app.Documents.ActiveDocument.Pages.Count === 2, "two pages remain");

    var out = fso.BuildPath(dir, "saved.pdf");
    check(folium.WebSaveLocalFile(out) === 1, "the document is saved");
    check(fso.FileExists(out), "the saved file exists");

    var text = folium.GetFileBase64("");
    check(text.length > 0 && text.length % 4 === 0, "the saved file comes back as base64, length " + text.length);
    check(text.substring(0, 3) === "ewo", "base64 of the saved fixture text: " + text.substring(0, 8));

    check(folium.WebClose() === 1, "WebClose closes it");
    check(app.Documents.Count === 0, "no document is left open");

    sim.UnloadAddIn("Veridane.FoliumFun.1");
} catch (e) {
    failures++;
    WScript.Echo("FAIL: unexpected error " + e.message + " 0x" + (e.number >>> 0).toString(16));
}
try {
    if (sim) sim.Reset();
    if (fso.FolderExists(dir)) fso.DeleteFolder(dir, true);
} catch (e) {
    failures++;
    WScript.Echo("FAIL: cleaning up: " + e.message);
}
WScript.Echo(failures === 0 ? "VERDICT PASS files_demo.js" : "VERDICT FAIL files_demo.js: " + failures + " failed");
WScript.Quit(failures === 0 ? 0 : 1);
