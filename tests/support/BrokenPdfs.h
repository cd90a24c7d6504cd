// PDFs made byte by byte for what no drawing tool makes: one that opens only with its password, one whose
// cross-reference table points at objects that are not there, and one compressed with a filter the
// converter lacks.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// A PDF of the given objects, numbered from 1, with its cross-reference table; trailer holds the
// trailer's entries besides /Size and /Root.
inline std::string PdfOfObjects(const std::vector<std::string>& objects, const std::string& trailer) {
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const std::size_t offset : offsets) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        pdf += entry;
    }
    return pdf + "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R" + trailer +
           " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
}

// A PDF that opens only with its password: the standard security handler's dictionary, whose user
// entry matches no empty password.
inline std::string PasswordProtectedPdf() {
    const std::vector<std::string> objects{
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>",
        "<< /Filter /Standard /V 1 /R 2 /O <" + std::string(64, '1') + "> /U <" + std::string(64, '2') +
            "> /P -4 >>",
    };
    const std::string id = "<00112233445566778899aabbccddeeff>";
    return PdfOfObjects(objects, " /Encrypt 4 0 R /ID [" + id + " " + id + "]");
}

// A PDF whose cross-reference table points at objects that are not there: poppler tries to rebuild it,
// says so, and only then fails for want of the catalog. With withPages the catalog is there but its
// pages are not, and poppler ends by blaming a page range nobody gave.
inline std::string BrokenXrefPdf(bool withPages) {
    std::string pdf = "%PDF-1.4\n";
    std::string entries = "0000000000 65535 f \n0000009999 00000 n \n";
    if (withPages) {
        pdf += "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n";
        entries = "0000000000 65535 f \n0000000009 00000 n \n";
    }
    const std::size_t xref = pdf.size();
    return pdf + "xref\n0 2\n" + entries + "trailer\n<< /Root 1 0 R" + (withPages ? "" : " /Size 2") +
           " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
}

// A PDF whose one page draws its text through a stream compressed with Brotli, which poppler does not
// have: it names the filter it lacks and writes an empty page.
inline std::string BrotliPdf() {
    const std::string content = "\x0b\x01\x80"
                                "BT /F1 12 Tf (UR5ABC) Tj ET\x03";
    const std::vector<std::string> objects{
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R >>",
        "<< /Length " + std::to_string(content.size()) + " /Filter /BrotliDecode >>\nstream\n" + content +
            "\nendstream",
    };
    return PdfOfObjects(objects, "");
}
