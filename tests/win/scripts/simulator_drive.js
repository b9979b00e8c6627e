// A page script with the reader simulator: loads the component as the reader does,
// opens a document and drives the connected component late-bound.
var failures = 0;
function check(cond, what) {
    if (!cond) { failures++; WScript.Echo("FAIL: " + what); }
}
try {
    var fso = new ActiveXObject("Scripting.FileSystemObject");
    var path = fso.BuildPath(fso.GetSpecialFolder(2).Path, "folium-drive-" + fso.GetTempName() + ".json");
    var f = fso.CreateTextFile(path, true, false);
    f.Write('{"type":"PDF","pages":[{"width":595,"height":842,"text":[{"x":72,"y":100,"size":12,"text":"Hello"}]},' +
            '{"width":595,"height":842}]}');
    f.Close();

    var sim = new ActiveXObject("Quirex.Simulator.1");
    sim.Reset();
    check(sim.LoadAddIn("Veridane.FoliumFun.1") === 0, "the reader connects the component");
    check(sim.SinkCount === 1, "the component listens to the reader's events");
    var app = sim.Application;
    var folium = app.COMAddIns.Item("Veridane.FoliumFun.1").Object;
    check(folium.Version === "1.0.0.1", "the connected component answers, Version " + folium.Version);

    var doc = app.Documents.Open(path);
    check(doc !== null, "the document opens");
    sim.ClearJournal();
    sim.FireEvent(9, doc);  // document opened
    var journal = sim.Journal;
    check(journal.indexOf("Document.Pages") >= 0, "the opened handler counts the pages");
    check(journal.indexOf("Document.FileInfo") >= 0, "the opened handler reads the file facts");

    check(sim.UnloadAddIn("Veridane.FoliumFun.1") === 0x80004001 - 0x100000000, "disconnection answers E_NOTIMPL");
    check(sim.SinkCount === 0, "the sink is unadvised");
    app.Documents.Close();
    fso.DeleteFile(path);
} catch (e) {
    failures++;
    WScript.Echo("FAIL: unexpected error " + e.message + " 0x" + (e.number >>> 0).toString(16));
}
WScript.Echo(failures === 0 ? "VERDICT PASS simulator_drive.js" : "VERDICT FAIL simulator_drive.js: " + failures + " failed");
WScript.Quit(failures === 0 ? 0 : 1);
