// Demo page script: the reader simulator loads the component as the reader does, opens
// the bundled sample document, and the script drives the component late-bound.
function show(label, value) { WScript.Echo(label + ": " + value); }
try {
    var fso = new ActiveXObject("Scripting.FileSystemObject");
    var here = fso.GetParentFolderName(WScript.ScriptFullName);
    var sample = fso.BuildPath(here, "sim\\sample.json");
    var temp = null;
    if (!fso.FileExists(sample)) {
        // No bundled sample: a two-page document of our own.
        temp = fso.BuildPath(fso.GetSpecialFolder(2).Path, "folium-demo.json");
        var f = fso.CreateTextFile(temp, true, false);
        f.Write('{"type":"PDF","pages":[{"width":595,"height":842,"text":[{"x":72,"y":100,"size":12,' +
                '"text":"FoliumAddin demo"}]},{"width":595,"height":842}]}');
        f.Close();
        sample = temp;
    }

    var sim = new ActiveXObject("Quirex.Simulator.1");
    sim.Reset();
    show("Reader connects Veridane.FoliumFun.1", sim.LoadAddIn("Veridane.FoliumFun.1") === 0 ? "S_OK" : "failed");
    show("Event sinks advised", sim.SinkCount);
    var app = sim.Application;
    var folium = app.COMAddIns.Item("Veridane.FoliumFun.1").Object;
    show("Component version", folium.Version);

    var doc = app.Documents.Open(sample);
    show("Opened", sample + " (" + doc.Pages.Count + " pages)");
    sim.ClearJournal();
    sim.FireEvent(9, doc);  // the reader reports the opened document
    show("Host calls the component made on DocumentOpened", "");
    for (var i = 0; i < sim.JournalCount; i++) WScript.Echo("  " + sim.JournalItem(i));

    show("Reader disconnects (E_NOTIMPL expected)", "0x" + (sim.UnloadAddIn("Veridane.FoliumFun.1") >>> 0).toString(16));
    app.Documents.Close();
    if (temp) fso.DeleteFile(temp);
    WScript.Quit(0);
} catch (e) {
    WScript.Echo("demo failed: " + e.message + " (0x" + (e.number >>> 0).toString(16) + ")");
    WScript.Quit(1);
}
