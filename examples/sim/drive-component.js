// Demo: the simulated reader hosts the component, as the Quirex reader would,
// and a page script drives the component while the simulator shows what the
// component asked of the reader.
//
//   wine regsvr32 /s Z:\...\bin\QuirexSim.dll
//   wine regsvr32 /s Z:\...\bin\FoliumAddin.dll
//   wine cscript //nologo drive-component.js Z:\...\examples\sim
//
// (Text outside ASCII is written as \u escapes: WSH reads scripts in the ANSI code page.)
var folder = WScript.Arguments.length ? WScript.Arguments(0) : ".";
var sim = new ActiveXObject("Quirex.Simulator");
sim.Reset();
sim.AddAllStandIns();
var hr = sim.LoadAddIn("Veridane.FoliumFun.1");
WScript.Echo("connection: " + hr + ", sinks advised: " + sim.SinkCount);

var app = sim.Application;
// The add-in object the reader created: the one connected to the reader.
var folium = app.COMAddIns.Item("Veridane.FoliumFun.1").Object;

sim.ClearJournal();
var opened = folium.WebOpenLocalFile(folder + "\\sample-contract.pdf");
WScript.Echo("WebOpenLocalFile: " + opened + ", PageCount: " + folium.PageCount);
WScript.Echo("GetTextPosition: " + folium.GetTextPosition(1, "\u5408\u540c\u7f16\u53f7", false, 0));

WScript.Echo("--- reader operations called by the component:");
for (var i = 0; i < sim.JournalCount; i++) WScript.Echo(sim.JournalItem(i));
sim.UnloadAddIn("Veridane.FoliumFun.1");
