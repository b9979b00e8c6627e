// Demo page script, the main job: the reader simulator loads the component as the reader
// does; the page loads its document from the document server (WebOpen), moves through it,
// searches it and lists its bookmarks, keeps a local copy and measures it as base64, fills
// a form field, saves the document back to the server (WebSave), loads it again and shows
// that the change persisted. examples/demo.sh starts the server and passes its address in
// FOLIUM_DEMO_URL and the record in FOLIUM_DEMO_RECORD; without them the script opens the
// bundled sample locally and skips the server steps.
//
// Output goes through the simulator's WriteLine, which writes UTF-8: the script host's own
// WScript.Echo turns Chinese text into "?" on a pipe or file (and Wine 8's can crash on it).
var out = null;
function say(text) {
    if (out) { out.WriteLine(text); return; }
    WScript.Echo(String(text).replace(/[^\x00-\x7f]/g, function (c) {
        return "\\u" + ("000" + c.charCodeAt(0).toString(16)).slice(-4);
    }));
}
function show(label, value) { say(label + ": " + value); }
try {
    var sim = new ActiveXObject("Quirex.Simulator.1");
    out = sim;
    var fso = new ActiveXObject("Scripting.FileSystemObject");
    var env = new ActiveXObject("WScript.Shell").Environment("Process");
    var here = fso.GetParentFolderName(WScript.ScriptFullName);
    var sample = fso.BuildPath(here, "sim\\sample-contract.pdf");
    var url = env("FOLIUM_DEMO_URL"), record = env("FOLIUM_DEMO_RECORD");
    var failures = 0;
    function expect(cond, what) { if (!cond) { failures++; say("UNEXPECTED: " + what); } }

    sim.Reset();
    sim.AddStandIn("Veridane.Relay");  // the message server: posts real DBSTEP packets
    show("Reader connects Veridane.FoliumFun.1", sim.LoadAddIn("Veridane.FoliumFun.1") === 0 ? "S_OK" : "failed");
    var app = sim.Application;
    var folium = app.COMAddIns.Item("Veridane.FoliumFun.1").Object;
    show("Component version", folium.Version);
    folium.UserName = "demo";

    if (url) {
        folium.WebUrl = url;
        folium.RecordId = record;
        var opened = folium.WebOpen();
        show("WebOpen " + record + " from " + url, opened);
        expect(opened, "the document comes down from the server");
    } else {
        show("WebOpenLocalFile " + sample, folium.WebOpenLocalFile(sample));
    }
    var doc = app.Documents.ActiveDocument;
    show("Opened", doc.Pages.Count + " pages");

    // The page script's side: move through the document, zoom, search, use bookmarks.
    show("Document open (isOpen)", folium.isOpen + ", " + folium.PageCount + " pages");
    show("GotoLastPage", folium.GotoLastPage());
    show("GotoPreviousPage", folium.GotoPreviousPage());
    show("GotoFirstPage", folium.GotoFirstPage());
    folium.CurPage = 2;
    show("CurPage after CurPage = 2", folium.CurPage);
    folium.Zoom = 150;
    show("Zoom after Zoom = 150", folium.Zoom);
    folium.Zoom = -1;
    show("Zoom after Zoom = -1 (fit mode)", folium.Zoom);
    folium.Rotate = 90;
    show("Rotate after Rotate = 90", folium.Rotate);
    show("SearchText(\"Contract\")", folium.SearchText("Contract"));
    show("GetTextPosition(1, \"Article\", false, 0)", folium.GetTextPosition(1, "Article", false, 0));
    show("GetBookMarks", folium.GetBookMarks());
    // "第四条%": the first bookmark whose title starts with "第四条".
    show("GotoBookMark(\"\u7b2c\u56db\u6761%\")", folium.GotoBookMark("\u7b2c\u56db\u6761%") + ", now on page " + folium.CurPage +
         ", selected \"" + folium.SelectedBookMarkName + "\"");
    folium.Zoom = 100;
    folium.Rotate = 0;

    // Fill a form field, save to the server, load again: the change persisted.
    var field = "contract.BuyerName";
    var value = "\u7ef4\u745e\u4e39\u793a\u4f8b\u516c\u53f8 Demo Buyer";  // Chinese text, escaped for the script host
    show("ExportFieldValue(" + field + ") before", folium.ExportFieldValue(field) === value ? "(already the new value)" : "(original value)");
    show("ImportFieldValue(" + field + ")", folium.ImportFieldValue(field, value));
    if (url) {
        show("WebSave", folium.WebSave());
        while (app.Documents.Count > 0) app.Documents.Close();
        show("WebOpen again", folium.WebOpen());
        var back = folium.ExportFieldValue(field);
        show("ExportFieldValue after reopening", back + (back === value ? " (the filled value came back from the server)" : " (MISMATCH)"));
        expect(back === value, "the saved field value persisted on the server");
    }

    // A local copy of the document, and its size as base64 text.
    var copy = fso.BuildPath(fso.GetSpecialFolder(2).Path, "folium-demo-copy.pdf");
    show("WebSaveLocalFile " + copy, folium.WebSaveLocalFile(copy));
    show("WebOpenLocalFile " + copy, folium.WebOpenLocalFile(copy));
    var b64 = folium.GetFileBase64("");
    show("GetFileBase64 length", b64.length + " characters for " + fso.GetFile(copy).Size + " bytes");
    expect(b64.length === 4 * Math.ceil(fso.GetFile(copy).Size / 3), "base64 length matches the file");
    folium.WebClose();

    show("Reader disconnects (E_NOTIMPL expected)", "0x" + (sim.UnloadAddIn("Veridane.FoliumFun.1") >>> 0).toString(16));
    while (app.Documents.Count > 0) app.Documents.Close();
    if (fso.FileExists(copy)) fso.DeleteFile(copy);
    say(failures === 0 ? "Page script finished." : "Page script finished with " + failures + " UNEXPECTED results.");
    WScript.Quit(failures === 0 ? 0 : 1);
} catch (e) {
    say("UNEXPECTED: the page script failed: " + e.message + " (0x" + (e.number >>> 0).toString(16) + ")");
    WScript.Quit(1);
}
