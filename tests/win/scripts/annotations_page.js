// A page script that opens the comment window, which the reader then refreshes, and puts
// a stamp under the user's next click through the reader simulator, seeing where it landed.
var failures = 0;
function check(cond, what) {
    if (!cond) { failures++; WScript.Echo("FAIL: " + what); }
}
var STAMP = "iVBORw0KGgoAAAANSUhEUgAAACgAAAAeCAIAAADRv8uKAAAAL0lEQVR42u3XsQ0AAAjDsP7/NHwBErjK7rmpZKVsw5MDg8FgMBgMBoPBV+A/36kB+KL0pqXr0d4AAAAASUVORK5CYII=";
try {
    var fso = new ActiveXObject("Scripting.FileSystemObject");
    var path = fso.BuildPath(fso.GetSpecialFolder(2).Path, "folium-annots-" + fso.GetTempName() + ".json");
    var f = fso.CreateTextFile(path, true, false);
    f.Write('{"pages":[{"width":600,"height":800}]}');
    f.Close();

    var sim = new ActiveXObject("Quirex.Simulator.1");
    sim.Reset();
    sim.AddAllStandIns();
    check(sim.LoadAddIn("Veridane.FoliumFun.1") === 0, "the reader connects the component");
    var app = sim.Application;
    var folium = app.COMAddIns.Item("Veridane.FoliumFun.1").Object;
    var doc = app.Documents.Open(path);
    check(doc !== null, "the document opens");
    var view = doc.Window.View;

    // The comment window, opened and then refreshed by the reader.
    folium.EnabledCommentWindow = true;
    folium.CommentWindow(1);
    sim.FireEvent(57, "");
    var calls = sim.StandIn("Quirex.Annots").Calls;
    check(calls.split("CommentWindow:M:2|VT_I4=1|VT_I4=0").length === 3, "window opened and refreshed: " + calls);

    // A stamp under the next click.
    check(folium.AddImageAnnotByString("\u5ba1\u6279|\u540c\u610f", STAMP) === 0, "the stamp is pending");
    check(sim.FireEvent(7, view, 0, 5 + 5 * 65536) === true, "the pending stamp's cursor follows the mouse");
    sim.FireEvent(3, view, 0, 150 + 300 * 65536);
    var placed = doc.Pages.Item(0).Annotations;
    check(placed.Count === 1, "the click placed one stamp");
    if (placed.Count === 1) {
        var s = placed.Item(0);
        check(s.Type === "Stamp", "it is an image stamp");
        check(Math.abs(s.Left + s.Width / 2 - 150) < 0.001 && Math.abs(s.Top - s.Height / 2 - 500) < 0.001,
              "centred on the clicked point");
    }
    sim.FireEvent(3, view, 0, 150 + 300 * 65536);
    check(doc.Pages.Item(0).Annotations.Count === 1, "a second click places nothing");

    sim.UnloadAddIn("Veridane.FoliumFun.1");
    app.Documents.Close();
    fso.DeleteFile(path);
} catch (e) {
    failures++;
    WScript.Echo("FAIL: unexpected error " + e.message + " 0x" + (e.number >>> 0).toString(16));
}
WScript.Echo(failures === 0 ? "VERDICT PASS annotations_page.js" : "VERDICT FAIL annotations_page.js: " + failures + " failed");
WScript.Quit(failures === 0 ? 0 : 1);
