// The component driven late-bound from JScript, as page scripts do, and what a member
// hands a script with its VARIANT type, seen through the reader simulator (JScript itself
// cannot tell VT_BOOL 1 from true or VT_I2 from VT_I4).
var failures = 0;
function check(cond, what) {
    if (!cond) { failures++; WScript.Echo("FAIL: " + what); }
}
function throws(f) {
    try { f(); return false; } catch (e) { return true; }
}
try {
    // Windows follows CurVer from the version-independent ProgID; Wine does not, so the
    // scripts name the versioned one.
    var a = new ActiveXObject("Veridane.FoliumFun.1");
    check(a.Version === "1.0.0.1", "Version is the file version (a string), got " + a.Version);
    // Members and properties of every automation type accept script values.
    a.RecordId = "记录-1";
    a.ShowMenus = true;
    a.Zoom = 100;
    a.AllowMoveAnnot = false;
    a.GetErrorString(5);
    a.GotoFirstPage();
    a.WebPrint(1, "", 1, 1, false);
    // Missing arguments and wrong types are refused with a script error, not a crash.
    check(throws(function () { a.GetPageSize(); }), "a missing argument raises");
    check(throws(function () { a.NoSuchMember(); }), "an unknown member raises");
    check(throws(function () { a.GetPageSize({}, 1); }), "an object for a long raises");
    a.GetPageSize("2", 1);  // text that converts is accepted
    check(throws(function () { a.GetPageSize(null, 1); }), "null for a long is a type mismatch");
    a = null;
    CollectGarbage();

    var sim = new ActiveXObject("Quirex.Simulator.1");
    sim.Reset();
    check(sim.LoadAddIn("Veridane.FoliumFun.1") === 0, "the reader connects the component");
    var folium = sim.Application.COMAddIns.Item("Veridane.FoliumFun.1").Object;
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
    sim.UnloadAddIn("Veridane.FoliumFun.1");
    sim.Reset();
} catch (e) {
    failures++;
    WScript.Echo("FAIL: unexpected error " + e.message + " 0x" + (e.number >>> 0).toString(16));
}
WScript.Echo(failures === 0 ? "VERDICT PASS late_bound.js" : "VERDICT FAIL late_bound.js: " + failures + " failed");
WScript.Quit(failures === 0 ? 0 : 1);
