// PDFs made byte by byte for what no drawing tool makes: one that opens only with its password, and one
// whose cross-reference table points at objects that are not there.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

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
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 5\n0000000000 65535 f \n";
    for (const std::size_t offset : offsets) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        pdf += entry;
    }
    const std::string id = "<00112233445566778899aabbccddeeff>";
    return pdf + "trailer\n<< /Size 5 /Root 1 0 R /Encrypt 4 0 R /ID [" + id + " " + id +
           "] >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
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
