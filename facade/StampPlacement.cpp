// The image stamp the user places with a click.
#include "FoliumFun.h"

#include "../bridge/Walks.h"
#include "AnnotationCommon.h"
#include "FileHelpers.h"
#include "StampImage.h"

using folium::ComPtr;
using folium::ScopedVariant;
using folium::UniqueBstr;
using namespace folium::annots;

void CFoliumFun::PlaceImageStamp(LONG pageNo, LONG x, LONG y, BSTR image) {
    ComPtr<IQxDocument> document = folium::files::HostActiveDocument(*this);
    if (!document) return;
    ComPtr<IQxPages> pages = folium::PagesOf(document.get());
    const LONG count = folium::PageCountOf(pages.get(), 0);
    if (pageNo < 1 || pageNo > count) return;
    const std::wstring author = ReaderAuthor(m_spApplication.get());

    // The picture goes to the reader re-encoded in its own format; one that cannot be
    // read goes as an empty array and a stamp of no size.
    const std::vector<std::uint8_t> bytes = DecodeImageText(image);
    folium::Image picture = folium::Image::Load(bytes.data(), bytes.size());
    std::vector<BYTE> encoded;
    if (!picture.Valid() || !picture.Encode(folium::ImageFormat::Unknown, encoded)) {
        encoded.clear();
        picture = folium::Image();
    }

    ComPtr<IQxPage> page;
    pages->Item(pageNo - 1, page.put());
    if (!page) return;
    ComPtr<IQxAnnotations> annotations;
    page->get_Annotations(annotations.put());
    ComPtr<IQxAnnotation> stamp;
    if (annotations) annotations->Add(12, stamp.put());
    if (!stamp) return;
    const double width = picture.Width() * 72.0 / 96, height = picture.Height() * 72.0 / 96;
    stamp->SetRect(x - width / 2, y - height / 2, x + width / 2, y + height / 2);
    if (m_stamps.positionBack != 0) stamp->put_BlendMode(UniqueBstr(L"Multiply").get());
    stamp->put_Color(0x0000FFFF);
    stamp->put_Author(UniqueBstr(author.c_str()).get());
    const std::wstring info = AnnotInfoText(*this, author);
    stamp->SetValue(UniqueBstr(L"AnnotInfo").get(), UniqueBstr(info.data(), static_cast<UINT>(info.size())).get());
    auto array = ScopedVariant::Bytes(encoded.data(), encoded.size());
    LONG result = 0;
    stamp->SetImage(*array.get(), &result);
    stamp->Commit();
    page->Update();
    if (auto view = folium::PageViewOf(document.get())) view->Refresh();
}
