// A page script places, counts, lists and deletes seals through the component
// with the reader simulator and its signature-engine stand-in.
var failures = 0;
function check(cond, what) {
    if (!cond) { failures++; WScript.Echo("FAIL: " + what); }
}
try {
    var fso = new ActiveXObject("Scripting.FileSystemObject");
    var fixture = fso.BuildPath(fso.GetParentFolderName(WScript.ScriptFullName), "..\\data\\seals.pdf");
    var sim = new ActiveXObject("Quirex.Simulator.1");
    sim.Reset();
    check(sim.LoadAddIn("Veridane.FoliumFun.1") === 0, "the reader connects the component");
    sim.AddStandIn("Veridane.Folium2015");
    var app = sim.Application;
    var folium = app.COMAddIns.Item("Veridane.FoliumFun.1").Object;
    var doc = app.Documents.Open(fixture);
    check(doc !== null, "the contract opens");

    var contractSeal = "\u5408\u540c\u7ae0";  // the seal's name in the engine
    check(folium.SignatureCount() === 0, "no seal yet (a near-miss type does not count)");
    check(folium.HasPreSignature() === 1, "the contract carries a pre-seal");
    check(folium.CreateSignature(1, "123456", 1, 1, "300*400", "") === 0, "a seal on page 1");
    check(folium.CreateSignatureByName(contractSeal, 2, 3, "123456", 2, "100*100", "") === 0, "seals on pages 2-3");
    check(folium.CreateSignature(1, "123456", 1, 3, "", "") === 1, "mode 3 is refused");
    check(folium.SignatureCount() === 3, "three seals, counted " + folium.SignatureCount());
    check(folium.SignatureNames() === "1;" + contractSeal + ";" + contractSeal, "the engine lists the seals");
    check(doc.Pages.Item(0).Annotations.Item(0).Type === "Brimwell:AddSeal", "a seal annotation of the page");

    check(folium.DeleteSignature("123456") === 0, "the last seal is deleted");
    check(folium.SignatureCount() === 2, "two seals remain");
    sim.RemoveAddIn("Veridane.Folium2015");
    check(folium.SignatureCount() === 2, "without the engine the component counts the seal annotations");
    check(folium.CreateSignature(1, "123456", 1, 1, "", "") === 1, "without the engine nothing is placed");

    sim.UnloadAddIn("Veridane.FoliumFun.1");
    app.Documents.Close();
} catch (e) {
    failures++;
    WScript.Echo("FAIL: unexpected error " + e.message + " 0x" + (e.number >>> 0).toString(16));
}
WScript.Echo(failures === 0 ? "VERDICT PASS seals_workflow.js" : "VERDICT FAIL seals_workflow.js: " + failures + " failed");
WScript.Quit(failures === 0 ? 0 : 1);
