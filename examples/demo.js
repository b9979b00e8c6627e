// Demo page script: the reader simulator loads the component as the reader does, opens
// the bundled sample document, and the script drives the component late-bound.
function show(label, value) { WScript.Echo(label + ": " + value); }
try {
    var fso = new ActiveXObject("Scripting.FileSystemObject");
    var here = fso.GetParentFolderName(WScript.ScriptFullName);
    var sample = fso.BuildPath(here, "sim\\sample.json");
    var temp = null;
    if (!fso.FileExists(sample)) {
        // No bundled sample: a three-page document of our own, with text and bookmarks.
        temp = fso.BuildPath(fso.GetSpecialFolder(2).Path, "folium-demo.json");
        var f = fso.CreateTextFile(temp, true, false);
        f.Write('{"type":"PDF","pages":[' +
                '{"width":595,"height":842,"text":[{"x":72,"y":770,"size":18,"text":"FoliumAddin demo"},' +
                '{"x":72,"y":740,"size":12,"text":"Chapter 1: the reader simulator loads the component."}]},' +
                '{"width":595,"height":842,"text":[{"x":72,"y":770,"size":12,' +
                '"text":"Chapter 2: a script drives the component, page by page."}]},' +
                '{"width":595,"height":842,"text":"Appendix\\nThe component lists bookmarks as text."}],' +
                '"bookmarks":[{"title":"Chapter 1","page":1,"children":[{"title":"1.1 Loading","page":1}]},' +
                '{"title":"Chapter 2","page":2},{"title":"Appendix","page":3}]}');
        f.Close();
        sample = temp;
    }

    var sim = new ActiveXObject("Quirex.Simulator.1");
    sim.Reset();
    show("Reader connects Veridane.FoliumFun.1", sim.LoadAddIn("Veridane.FoliumFun.1") === 0 ? "S_OK" : "failed");
    show("Event sinks advised", sim.SinkCount);
    var app = sim.Application;
    var folium = app.COMAddIns.Item("Veridane.FoliumFun.1").Object;
    show("Component version", folium.Version);

    var doc = app.Documents.Open(sample);
    show("Opened", sample + " (" + doc.Pages.Count + " pages)");
    sim.ClearJournal();
    sim.FireEvent(9, doc);  // the reader reports the opened document
    show("Host calls the component made on DocumentOpened", "");
    for (var i = 0; i < sim.JournalCount; i++) WScript.Echo("  " + sim.JournalItem(i));

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
    show("SearchText(\"component\")", folium.SearchText("component"));
    show("GetTextPosition(1, \"Chapter\", false, 0)", folium.GetTextPosition(1, "Chapter", false, 0));
    show("GetBookMarks", folium.GetBookMarks());
    show("GotoBookMark(\"Append%\")", folium.GotoBookMark("Append%") + ", now on page " + folium.CurPage +
         ", selected \"" + folium.SelectedBookMarkName + "\"");
    folium.Zoom = 100;
    folium.Rotate = 0;

    show("Reader disconnects (E_NOTIMPL expected)", "0x" + (sim.UnloadAddIn("Veridane.FoliumFun.1") >>> 0).toString(16));
    app.Documents.Close();
    if (temp) fso.DeleteFile(temp);
    WScript.Quit(0);
} catch (e) {
    WScript.Echo("demo failed: " + e.message + " (0x" + (e.number >>> 0).toString(16) + ")");
    WScript.Quit(1);
}
