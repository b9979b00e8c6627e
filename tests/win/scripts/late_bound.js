// The component driven late-bound from JScript, as page scripts do.
var failures = 0;
function check(cond, what) {
    if (!cond) { failures++; WScript.Echo("FAIL: " + what); }
}
function throws(f) {
    try { f(); return false; } catch (e) { return true; }
}
try {
    var a = new ActiveXObject("Veridane.FoliumFun.1");
    // Windows follows CurVer from the version-independent ProgID; Wine does not, so the
    // scripts name the versioned one.
    var b = new ActiveXObject("Veridane.FoliumFun.1");
    check(a.Version === "1.0.0.1", "Version is the file version, got " + a.Version);
    check(b.Version === a.Version, "two objects answer alike");
    check(typeof a.Version === "string", "Version is a string");
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
    b = null;
    CollectGarbage();
} catch (e) {
    failures++;
    WScript.Echo("FAIL: unexpected error " + e.message + " 0x" + (e.number >>> 0).toString(16));
}
WScript.Echo(failures === 0 ? "VERDICT PASS late_bound.js" : "VERDICT FAIL late_bound.js: " + failures + " failed");
WScript.Quit(failures === 0 ? 0 : 1);
