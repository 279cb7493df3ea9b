// HTML built by construction: text and attribute values are escaped on their way in, and markup
// comes only from the program's own literals, so a scan's name or an error message can never
// become markup in the page.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace plantscan::page {

struct Attribute {
    const char* name;
    std::string value;  // escaped when written
};

class Html;
// <tag name="value" ...>content</tag>
Html element(const char* tag, const std::vector<Attribute>& attributes, const Html& content);
// <tag name="value" ...>, for an element that has no content (img, meta).
Html voidElement(const char* tag, const std::vector<Attribute>& attributes);

class Html {
public:
    Html() = default;
    // Markup written in the code: only a literal (a char array) binds here, never a
    // std::string read from a file or a folder.
    template <std::size_t N>
    Html(const char (&markup)[N]) : html_(markup) {}  // NOLINT(google-explicit-constructor)

    static Html text(const std::string& text);

    Html& operator+=(const Html& more) {
        html_ += more.html_;
        return *this;
    }
    const std::string& str() const { return html_; }

private:
    friend Html element(const char*, const std::vector<Attribute>&, const Html&);
    friend Html voidElement(const char*, const std::vector<Attribute>&);
    std::string html_;
};

inline Html operator+(Html first, const Html& second) { return first += second; }

Html element(const char* tag, const Html& content);

// Text made safe for HTML content and for an attribute value between double quotes.
std::string escapeHtml(const std::string& text);

// A relative URL of a file (which may lie in a subfolder, "PETALES/a.jpg_0.jpg") in a folder
// named after a scan: each name percent-encoded, so that "#", "%", "?" or a space in it stay
// part of the path.
std::string folderFileUrl(const std::string& folder, const std::string& file);

}  // namespace plantscan::page
