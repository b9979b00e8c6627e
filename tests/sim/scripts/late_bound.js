// The registered simulator driven by name from script, as page authors and demos do.
// (Non-ASCII text is written as \u escapes: WSH reads script files in the ANSI code page.)
var failures = 0, passes = 0;
function check(ok, what) {
    if (ok) { passes++; } else { failures++; WScript.Echo("FAIL: " + what); }
}
try {
    var examples = WScript.Arguments(0);
    var sim = new ActiveXObject("Quirex.Simulator");
    sim.Reset();
    var app = sim.Application;
    check(app.Name == "Quirex Reader", "application name");
    var doc = app.Documents.Open(examples + "\\sample-contract.pdf");
    check(doc != null, "sample opens");
    check(doc.DocumentType == 0, "DocumentType read by name");
    check(doc.Pages.Count == 3, "three pages");
    check(app.Documents.ActiveDocument.Pages.Count == 3, "active document");

    var finder = doc.TextFinder;
    finder.Text = "\u5408\u540c\u7f16\u53f7";
    check(finder.FindNext(1) == true, "finder finds the contract number label");
    check(finder.Hit.X1 == 72 && finder.Hit.Y2 == 740, "hit in page coordinates");
    check(finder.FindNext(1) == false, "one occurrence on page 1");

    var first = doc.Bookmarks.First;
    check(first.Title == "\u91c7\u8d2d\u5408\u540c Purchase Contract", "first bookmark");
    check(first.FirstChild.Next.FirstChild.Title == "\u4ed8\u6b3e\u8ba1\u5212 Payment schedule", "nested bookmark");
    check(doc.Fields.SignatureCount == 1, "one signed signature field");
    check(doc.Fields.Item("contract.ContractNo").Value == "VD-2026-0042", "field by name");
    check(doc.Attachments.Count == 1 && doc.Attachments.Item(0).Name == "\u4ed8\u6b3e\u8ba1\u5212.txt", "attachment");

    var bar = app.CommandBars.Item("Comments");
    check(bar.FindControl(1, 50036) != null, "Comments holds control 50036");
    bar.Visible = false;
    check(app.CommandBars.Item("Comments").Visible == false, "bar hidden");

    sim.AddAllStandIns();
    var relay = app.COMAddIns.Item("Veridane.Relay").Object;
    relay.SetMsgByName("OPTION", "LOADFILE");
    relay.WebUrl = "http://127.0.0.1:8080/";
    var calls = sim.StandIn("Veridane.Relay");
    check(calls.CallCount == 2, "two relay calls recorded");
    check(calls.CallItem(0) == 'SetMsgByName:M:2|VT_BSTR="OPTION"|VT_BSTR="LOADFILE"', "method call line");
    check(calls.CallItem(1) == 'WebUrl:P:1|VT_BSTR="http://127.0.0.1:8080/"', "property write line");

    check(sim.JournalCount > 10, "journal filled");
    check(sim.JournalItem(0) == "Application.Name", "journal starts with the first host call");
    app.Alert("\u4f60\u597d", 0);
    check(sim.NotificationItem(sim.NotificationCount - 1) == 'Alert("\u4f60\u597d", 0)', "alert raised to the page");
    app.Documents.Close();
    check(app.Documents.Count == 0, "closed");
} catch (e) {
    failures++;
    WScript.Echo("FAIL: exception " + e.message + " (" + (e.number >>> 0).toString(16) + ")");
}
WScript.Echo(failures === 0 ? "VERDICT PASS late_bound.js (" + passes + " checks)" : "VERDICT FAIL late_bound.js: " + failures + " failed");
WScript.Quit(failures);
