// A page script driving the component late-bound from JScript through the reader simulator:
// what a script sees from a member of each family. JScript itself cannot tell VT_BOOL 1 from
// true or VT_I2 from VT_I4, so the simulator's InvokeRaw shows the type.
var failures = 0;
function check(cond, what) {
    if (!cond) { failures++; WScript.Echo("FAIL: " + what); }
}
var STAMP = "iVBORw0KGgoAAAANSUhEUgAAACgAAAAeCAIAAADRv8uKAAAAL0lEQVR42u3XsQ0AAAjDsP7/NHwBErjK" +
    "7rmpZKVsw5MDg8FgMBgMBoPBV+A/36kB+KL0pqXr0d4AAAAASUVORK5CYII=";
try {
    var fso = new ActiveXObject("Scripting.FileSystemObject");
    var contract = fso.BuildPath(fso.GetParentFolderName(WScript.ScriptFullName), "..\\data\\seals.pdf");
    var sim = new ActiveXObject("Quirex.Simulator.1");
    sim.Reset();
    sim.AddAllStandIns();
    check(sim.LoadAddIn("Veridane.FoliumFun.1") === 0, "the reader connects the component");
    var app = sim.Application;
    var folium = app.COMAddIns.Item("Veridane.FoliumFun.1").Object;
    function raw(name, args) {
        return args ? sim.InvokeRaw(folium, name, args) : sim.InvokeRaw(folium, name);
    }
    check(raw("ShowMenus") === "0x00000000 VT_BOOL=-1", "ShowMenus: " + raw("ShowMenus"));
    // Without a menu bar the getter reports 1, an automation boolean that is not true.
    check(sim.RemoveChrome("CommandBar", "MenuBar") === 1, "the menu bar is removed");
    check(raw("ShowMenus") === "0x00000000 VT_BOOL=1", "ShowMenus without a menu bar: " + raw("ShowMenus"));
    // Arguments in a script array, in call order.
    check(raw("GetPageSize", [1, 0]) === "0x00000000 VT_R8=0", "GetPageSize without a document: " +
          raw("GetPageSize", [1, 0]));

    check(folium.WebOpenLocalFile(contract) === 1, "the contract opens");
    var doc = app.Documents.ActiveDocument;
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
        check(Math.abs(s.Left + s.Width / 2 - 150) < 0.001 && Math.abs(s.Top - s.Height / 2 - 541) < 0.001,
              "centred on the clicked point (the page's height taken whole): " + [s.Left, s.Width, s.Top, s.Height]);
    }
    sim.FireEvent(3, view, 0, 150 + 300 * 65536);
    check(doc.Pages.Item(0).Annotations.Count === 1, "a second click places nothing");

    check(folium.WebClose() === 1, "WebClose closes it");
    check(app.Documents.Count === 0, "no document is left open");
    sim.UnloadAddIn("Veridane.FoliumFun.1");
    sim.Reset();
} catch (e) {
    failures++;
    WScript.Echo("FAIL: unexpected error " + e.message + " 0x" + (e.number >>> 0).toString(16));
}
WScript.Echo(failures === 0 ? "VERDICT PASS late_bound.js" : "VERDICT FAIL late_bound.js: " + failures + " failed");
WScript.Quit(failures === 0 ? 0 : 1);
