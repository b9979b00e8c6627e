// Barcode stamps against the reader simulator and its barcode generator stand-in:
// the generator calls, the placement, and the placed picture itself, which must keep
// the generator's pixels (so it reads as the same barcode) with white made transparent.
#include "FamilyTestSupport.h"

#include "support/win/Image.h"

using namespace testsupport;

namespace {

const CLSID kGenerator = {0xE25ABE25, 0x3D6A, 0x46AE, {0xB4, 0x5E, 0x64, 0x56, 0x40, 0x3B, 0x2F, 0x78}};

const char kThreePages[] = R"({"type":"PDF","pages":[{"width":595,"height":842},{"width":595,"height":842},
 {"width":595,"height":842}]})";

class ImageStamps : public ConnectedComponent {
protected:
    // The generator's own picture for the same settings.
    static std::string GeneratorPicture(const wchar_t* text, LONG type) {
        ComPtr<IDispatch> g;
        EXPECT_EQ(CoCreateInstance(kGenerator, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, g.put_void()), S_OK);
        ScopedVariant t = ScopedVariant::Bstr(text), s = ScopedVariant::I4(type), picture, result;
        CallByName(g.get(), L"Text", DISPATCH_PROPERTYPUT, {*t.get()}, nullptr);
        CallByName(g.get(), L"Symbology", DISPATCH_PROPERTYPUT, {*s.get()}, nullptr);
        VARIANT out;
        VariantInit(&out);
        out.vt = VT_BYREF | VT_VARIANT;
        out.pvarVal = picture.get();
        CallByName(g.get(), L"Render", DISPATCH_METHOD, {*ScopedVariant::I4(1).get(), out}, result.Receive());
        std::string bytes;
        if (picture->vt == (VT_ARRAY | VT_UI1)) {
            void* data = nullptr;
            SafeArrayAccessData(picture->parray, &data);
            bytes.assign(static_cast<char*>(data), picture->parray->rgsabound[0].cElements);
            SafeArrayUnaccessData(picture->parray);
        }
        return bytes;
    }
};

TEST_F(ImageStamps, ThreePagesGetAStampCentredOnThePointWithTheGeneratorCalledInOrder) {
    Host(L"MainFrame.UserName=\"盖章人\"");
    ASSERT_TRUE(Open(kThreePages));
    EXPECT_EQ(Call(&IFoliumFun::CreateBarCodeImage, L"FOLIUM-2026", 1, 3, 1, L"100*200", 20), L"S_OK 0");
    // The generator's picture is 352 x 80 pixels at 96 dpi: 264 x 60 points centred on (100, 200).
    std::wstring stamps;
    for (const wchar_t* page : {L"0", L"1", L"2"})
        stamps += L"Pages.Item(" + std::wstring(page) + L")\nPage.Annotations\nAnnotations.Add(12)\n"
                  L"Annotation.SetRect(-32, 170, 232, 230)\nAnnotation.BlendMode=\"Multiply\"\nAnnotation.Color=65535\n"
                  L"Annotation.Author=\"盖章人\"\nAnnotation.SetImage(bytes[1999])\nAnnotation.Commit()\nPage.Update()\n";
    EXPECT_EQ(JournalText(), L"Application.Documents\nDocuments.ActiveDocument\nDocument.Pages\nPages.Count\n"
                             L"Application.MainFrame\nMainFrame.UserName\nBarcodeGenerator.Create()\n"
                             L"Application.MainFrame\nMainFrame.LanguageId\nBarcodeGenerator.Prefix=\"GBC_\"\n"
                             L"BarcodeGenerator.Option=0\nBarcodeGenerator.ImageFormat=\"GIF\"\n"
                             L"BarcodeGenerator.Symbology=20\nBarcodeGenerator.Text=\"FOLIUM-2026\"\n"
                             L"BarcodeGenerator.Render(1)\n" +
                                 stamps + L"Document.Window\nDocWindow.View\nPageView.Refresh()\n");
}

TEST_F(ImageStamps, PlacedPictureKeepsTheGeneratorsBarsWithWhiteTransparent) {
    ASSERT_TRUE(Open(kThreePages));
    const wchar_t text[] = L"Folium 2026/12-06 ~ok~";
    ASSERT_EQ(Call(&IFoliumFun::CreateBarCodeImage, text, 2, 2, 2, L"300*400", 20), L"S_OK 0");
    ASSERT_EQ(AnnotationsOnPages().size(), 1u);
    const std::wstring file = TempFolder() + L"folium-barcode-stamp.gif";
    tempFiles.push_back(file);
    Host(L"Documents.ActiveDocument.Pages.Item(1).Annotations.Item(0).ExportImage(\"" + file + L"\")");
    const folium::Image placed = folium::Image::LoadFile(file.c_str());
    const std::string generated = GeneratorPicture(text, 20);
    const folium::Image original = folium::Image::Load(generated.data(), generated.size());
    ASSERT_EQ(placed.Width(), original.Width());
    ASSERT_EQ(placed.Height(), original.Height());
    for (size_t i = 0; i < original.Pixels().size(); ++i) {
        const UINT p = original.Pixels()[i];
        const bool nearWhite = (p & 0xFF) >= 201 && ((p >> 8) & 0xFF) >= 201 && ((p >> 16) & 0xFF) >= 201;
        ASSERT_EQ(placed.Pixels()[i] >> 24 == 0, nearWhite) << "pixel " << i << ": transparent exactly where white";
        // Elsewhere the generator's own colour: the same barcode, bar for bar.
        if (!nearWhite) ASSERT_EQ(placed.Pixels()[i], p | 0xFF000000u) << "pixel " << i;
    }
}

TEST_F(ImageStamps, RangeTextSymbologyAndPositionRules) {
    // Each call with the generator made, the prefix and text it is given, and the stamps added.
    const Lines shown = {L"Generator.Create", L"Generator.Prefix", L"Generator.Text", L"Annotations.Add"};
    const std::wstring made = L" | BarcodeGenerator.Create() | BarcodeGenerator.Prefix=";
    const std::wstring text = L" | BarcodeGenerator.Text=\"A1\"", added = L" | Annotations.Add(12)";
    auto bar = [](const std::wstring& args) { return L"CreateBarCodeImage(" + args + L") -> VT_I4="; };
    Steps({bar(L"\"A1\", 1, 1, 1, \"1*1\", 20") + L"1"}, shown);  // no document
    ASSERT_TRUE(Open(kThreePages));
    // Bad ranges: 1 and no generator at all. No picture from the generator (an empty text is not
    // handed over; an unknown symbology): 1. No position (mode 3): no stamp, and 0. The reader's
    // language chooses the prefix.
    Steps({bar(L"\"A1\", 0, 1, 1, \"1*1\", 20") + L"1", bar(L"\"A1\", 2, 1, 1, \"1*1\", 20") + L"1",
           bar(L"\"A1\", 1, 4, 1, \"1*1\", 20") + L"1", bar(L"\"A1\", -1, -1, 1, \"1*1\", 20") + L"1",
           bar(L"\"\", 1, 1, 1, \"1*1\", 20") + L"1" + made + L"\"GBC_\"",
           bar(L"\"A1\", 1, 1, 1, \"1*1\", 58") + L"1" + made + L"\"GBC_\"" + text,
           bar(L"\"A1\", 1, 3, 3, \"1*1\", 20") + L"0" + made + L"\"GBC_\"" + text, L"reader.MainFrame.LanguageId=1033",
           bar(L"\"A1\", 3, 3, 2, \"10*20\", 20") + L"0" + made + L"\"ENG_\"" + text + added,
           L"reader.MainFrame.LanguageId=1041",
           bar(L"\"A1\", 3, 3, 2, \"10*20\", 20") + L"0" + made + L"\"\"" + text + added},
          shown);
}

}  // namespace
