#!/usr/bin/python3
"""Writes the bundled sample PDF: a bilingual three-page contract with an outline,
a form (text fields, a check box, a signature field) and annotations.

Usage: make_sample.py OUT.pdf [--pages N]
With --pages N it writes instead a plain text document of N pages (benchmarks and
the large-file tests use it)."""
import sys

from reportlab.lib.pagesizes import A4, letter
from reportlab.pdfbase import pdfmetrics
from reportlab.pdfbase.cidfonts import UnicodeCIDFont
from reportlab.pdfbase.pdfdoc import PDFArray, PDFDictionary, PDFName, PDFString
from reportlab.pdfgen import canvas

CJK = "STSong-Light"


def words(c, x, y, font, size, text):
    c.setFont(font, size)
    c.drawString(x, y, text)


def widget(c, fields, d, parent=None):
    """Adds a raw field widget (reportlab has no signature fields)."""
    d.update(Subtype=PDFName("Widget"), Type=PDFName("Annot"), F=4, P=c._doc.thisPageRef())
    w = PDFDictionary(d)
    c._addAnnotation(w)
    return w


def contract(path):
    pdfmetrics.registerFont(UnicodeCIDFont(CJK))
    c = canvas.Canvas(path, pagesize=A4, invariant=1)
    c.setTitle("Sample contract")
    c.setAuthor("FoliumAddin")
    form = c.acroForm

    # Page 1: terms and the parties.
    c.bookmarkPage("p1")
    c.addOutlineEntry("Contract", "p1", 0)
    words(c, 72, 760, "Helvetica-Bold", 18, "Sample Contract")
    words(c, 72, 730, "Helvetica", 12, "Buyer and seller agree to the terms below.")
    words(c, 72, 700, CJK, 14, "合同编号 示例文本")
    words(c, 72, 650, "Helvetica", 12, "Buyer:")
    words(c, 72, 620, "Helvetica", 12, "Seller:")
    words(c, 100, 560, "Helvetica", 12, "Agreed")
    c.bookmarkPage("terms")
    c.addOutlineEntry("Terms", "terms", 1)
    form.textfield(name="Seller", value="Bo Li", x=150, y=615, width=200, height=20, fontName="Helvetica")
    form.checkbox(name="Agree", checked=True, x=72, y=555, size=18, buttonStyle="check")
    # A field inside a parent: full name "contract.Buyer".
    form.textfield(name="Buyer", value="Alice Zhang", x=150, y=645, width=200, height=20, fontName="Helvetica")
    buyer = form.fields.pop()
    parent = PDFDictionary(dict(T=PDFString("contract"), Kids=PDFArray([buyer])))
    parentRef = form.getRef(parent)
    for name, obj in c._doc.idToObject.items():
        if isinstance(obj, PDFDictionary) and obj.dict.get("T") is not None and \
                str(obj.dict["T"].s) == "Buyer":
            obj.dict["Parent"] = parentRef
    form.fields.append(parentRef)
    note = PDFDictionary(dict(Type=PDFName("Annot"), Subtype=PDFName("Text"),
                              Rect=PDFArray([400, 700, 420, 720]), Contents=PDFString("Check the amount."),
                              T=PDFString("Reviewer"), NM=PDFString("note-1"), AnnotInfo=PDFString("sample-note"),
                              F=4, P=c._doc.thisPageRef()))
    c._addAnnotation(note)
    c.showPage()

    # Page 2 (Letter size): signatures.
    c.setPageSize(letter)
    c.bookmarkPage("p2")
    c.addOutlineEntry("Signatures", "p2", 0)
    words(c, 72, 700, "Helvetica-Bold", 16, "Signatures")
    words(c, 72, 670, CJK, 12, "签名页 Signature page")
    sig = widget(c, form.fields, dict(FT=PDFName("Sig"), T=PDFString("Signature1"),
                                      Rect=PDFArray([320, 500, 480, 560])))
    form.fields.append(form.getRef(sig))
    c.showPage()

    # Page 3: turned a quarter (reportlab then swaps width and height).
    c.setPageSize(A4)
    c.setPageRotation(90)
    c.bookmarkPage("p3")
    c.addOutlineEntry("Appendix", "p3", 0)
    words(c, 72, 500, "Helvetica", 12, "Appendix page")
    c.showPage()
    c.save()


def plain(path, count):
    c = canvas.Canvas(path, pagesize=A4, invariant=1)
    for n in range(1, count + 1):
        c.setFont("Helvetica", 11)
        y = 780
        for line in range(40):
            c.drawString(60, y, "Page %d line %d: the quick brown fox jumps over the lazy dog." % (n, line + 1))
            y -= 18
        c.showPage()
    c.save()


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[2] == "--pages":
        plain(sys.argv[1], int(sys.argv[3]))
    elif len(sys.argv) == 2:
        contract(sys.argv[1])
    else:
        sys.exit(__doc__)
