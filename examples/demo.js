// Demo page script: creates the component by ProgID and prints what it answers.
var out = [];
function show(label, value) { WScript.Echo(label + ": " + value); }
try {
    var folium = new ActiveXObject("Veridane.FoliumFun.1");
    show("Created", "Veridane.FoliumFun.1");
    show("Version", folium.Version);
    show("Document open (isOpen)", folium.isOpen);
    folium.RecordId = "DEMO-0001";
    show("RecordId stored", "DEMO-0001");
    WScript.Quit(0);
} catch (e) {
    WScript.Echo("demo failed: " + e.message + " (0x" + (e.number >>> 0).toString(16) + ")");
    WScript.Quit(1);
}
