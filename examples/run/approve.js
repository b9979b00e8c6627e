// An example page script for `./folium run`: what a contract page might do before it
// hands the document back. Try it on the bundled sample:
//   ./folium run examples/run/approve.js --pdf build/native/pdf/sample-contract.pdf \
//       --out /tmp/approved.pdf --png /tmp/approved-pages --journal /tmp/approved-journal.txt
//
// The runner gives a page script what a page in the reader has: `folium`, the component
// (IFoliumFun) connected to the reader with the document open, plus `say(text)` to print
// a line and `scriptFolder`, the Windows path of this script's folder. Text outside ASCII
// is written as \u escapes: the script host reads scripts in the ANSI code page.
say("Pages: " + folium.PageCount);
say("Seller filled in: " + folium.ImportFieldValue("Seller", "Wei Wang"));
say("Buyer filled in: " + folium.ImportFieldValue("contract.Buyer", "\u738b\u4f1f (Wang Wei)"));
// A note beside the amount, and an image stamp near the foot of the first page
// (page units: 1/72 inch from the lower-left corner).
say("Comment added (0 = done): " + folium.AddComment(1, 460, 700, "Amount checked."));
say("Stamp added (0 = done): " + folium.InsertImage(1, 360, 90, 180, 90, scriptFolder + "\\approved.png"));
// A watermark across the first page: text, opacity %, size, angle, under the text?,
// centre x and y, name, colour, alignment, scale.
say("Watermark: " + folium.WaterMarkEx(1, 1, "DRAFT \u8349\u7a3f", 25, 48, 45, false, 297, 420, "draft",
                                       "#C00000", 0, 1));
// Only the first page is wanted in this copy: pages 2 to 3 go (the answer is how many).
say("Pages deleted: " + folium.DeletePages(2, 3));
say("Pages now: " + folium.PageCount);
