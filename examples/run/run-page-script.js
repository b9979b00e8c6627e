// The runner behind `./folium run` (examples/run.sh starts it under Wine):
//   cscript //nologo run-page-script.js SCRIPT.js INPUT.pdf OUTPUT.pdf [JOURNAL.txt]
// The reader simulator loads the component as the reader does, the component opens the
// PDF (the simulator imports it), the page script runs with `folium`, `say` and
// `scriptFolder`, and the document is saved as a PDF (the simulator exports the changes
// onto the original). The journal file gets the host calls the page script caused, as
// UTF-16 text. Output goes through the simulator's WriteLine (UTF-8); the last line is
// "Page script finished." only when everything worked.
var sim = null;
function say(text) {
    if (sim) sim.WriteLine(String(text));
    else WScript.Echo(String(text).replace(/[^\x00-\x7f]/g, "?"));
}
function stop(code, text) {
    say("folium run: " + text);
    WScript.Quit(code);
}
// The simulator keeps the native tool's reason for a failed import or export.
function reason(text) {
    return text ? ": " + text : "";
}

var args = WScript.Arguments;
if (args.length < 3) stop(1, "usage: run-page-script.js SCRIPT.js INPUT.pdf OUTPUT.pdf [JOURNAL.txt]");
var scriptPath = args(0), input = args(1), output = args(2), journal = args.length > 3 ? args(3) : "";
var fso = new ActiveXObject("Scripting.FileSystemObject");
var scriptText;
try {
    scriptText = fso.OpenTextFile(scriptPath, 1).ReadAll();
} catch (e) {
    stop(1, "cannot read the page script " + scriptPath);
}
try {
    sim = new ActiveXObject("Quirex.Simulator.1");
} catch (e) {
    stop(1, "the reader simulator is not registered (run ./folium build)");
}
sim.Reset();
sim.AddAllStandIns();
if (sim.LoadAddIn("Veridane.FoliumFun.1") !== 0) stop(1, "the component did not connect to the reader");
var app = sim.Application;
var folium = app.COMAddIns.Item("Veridane.FoliumFun.1").Object;
if (!folium.WebOpenLocalFile(input)) stop(2, "cannot open " + input + reason(sim.LastOpenError));
say("Opened " + input + " (" + folium.PageCount + " pages)");

sim.ClearJournal();
var failed = null;
try {
    // The page script sees folium, say and scriptFolder, and nothing of the runner's own.
    (function (folium, say, scriptFolder, scriptText) {
        eval(scriptText);
    })(folium, say, fso.GetParentFolderName(fso.GetAbsolutePathName(scriptPath)), scriptText);
} catch (e) {
    failed = e;
}
var lines = [];
for (var i = 0; i < sim.JournalCount; i++) lines.push(sim.JournalItem(i));
if (journal) {
    var file = fso.CreateTextFile(journal, true, true);
    file.Write(lines.join("\r\n") + "\r\n");
    file.Close();
}
if (failed) stop(3, "the page script stopped with an error: " + (failed.message || failed.description || failed));
say("The page script made " + lines.length + " reader calls");

var doc = app.Documents.ActiveDocument;
if (!doc) stop(2, "the page script left no document open");
if (doc.SaveCopyAs(output, 0) !== 0) stop(2, "cannot write " + output + reason(sim.LastSaveError));
say("Wrote " + output);
sim.UnloadAddIn("Veridane.FoliumFun.1");
say("Page script finished.");
