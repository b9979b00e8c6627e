// What a member hands a script, with its VARIANT type, seen through the reader
// simulator (JScript itself cannot tell VT_BOOL 1 from true or VT_I2 from VT_I4),
// and a host call made to fail from a script.
var failures = 0;
function check(cond, what) {
    if (!cond) { failures++; WScript.Echo("FAIL: " + what); }
}
try {
    var sim = new ActiveXObject("Quirex.Simulator.1");
    sim.Reset();
    check(sim.LoadAddIn("Veridane.FoliumFun.1") === 0, "the reader connects the component");
    var folium = sim.Application.COMAddIns.Item("Veridane.FoliumFun.1").Object;

    check(sim.DescribeVariant(1.5) === "VT_R8=1.5", "a script number arrives as " + sim.DescribeVariant(1.5));
    check(sim.InvokeRaw(folium, "isOpen") === "0x00000000 VT_I4=0", "isOpen: " + sim.InvokeRaw(folium, "isOpen"));
    check(sim.InvokeRaw(folium, "ShowMenus") === "0x00000000 VT_BOOL=-1", "ShowMenus: " + sim.InvokeRaw(folium, "ShowMenus"));

    // Without a menu bar the getter reports 1, an automation boolean that is not true.
    check(sim.RemoveChrome("CommandBar", "MenuBar") === 1, "the menu bar is removed");
    check(sim.InvokeRaw(folium, "ShowMenus") === "0x00000000 VT_BOOL=1", "ShowMenus without a menu bar: " +
          sim.InvokeRaw(folium, "ShowMenus"));

    // A failing host call: the getter keeps its default (an HRESULT above 0x7FFFFFFF given as a signed number).
    sim.FailOperation("MainFrame.SidePanesVisible", 0x80004005 | 0, -1);
    check(sim.InvokeRaw(folium, "ShowSides") === "0x00000000 VT_BOOL=-1", "ShowSides with the host call failing: " +
          sim.InvokeRaw(folium, "ShowSides"));
    check(sim.Journal.indexOf("MainFrame.SidePanesVisible !failed 0x80004005") >= 0, "the journal shows the failure");
    sim.FailOperation("MainFrame.SidePanesVisible", 0, 0);
    check(sim.Journal.indexOf("Application.MainFrame") >= 0, "the main frame was asked for");

    // Arguments in a script array, in call order.
    check(sim.InvokeRaw(folium, "GetPageSize", [1, 0]) === "0x00000000 VT_R8=0", "GetPageSize without a document: " +
          sim.InvokeRaw(folium, "GetPageSize", [1, 0]));
    sim.UnloadAddIn("Veridane.FoliumFun.1");
    sim.Reset();
} catch (e) {
    failures++;
    WScript.Echo("FAIL: unexpected error " + e.message + " 0x" + (e.number >>> 0).toString(16));
}
WScript.Echo(failures === 0 ? "VERDICT PASS raw_values.js" : "VERDICT FAIL raw_values.js: " + failures + " failed");
WScript.Quit(failures === 0 ? 0 : 1);
