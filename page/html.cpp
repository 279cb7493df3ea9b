#include "page/html.h"

namespace plantscan::page {

namespace {

std::string percentEncode(const std::string& text) {
    static const char* const hex = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
            (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
            byte == '~') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += hex[byte >> 4];
            encoded += hex[byte & 15];
        }
    }
    return encoded;
}

std::string openingTag(const char* tag, const std::vector<Attribute>& attributes) {
    std::string html = std::string("<") + tag;
    for (const Attribute& attribute : attributes) {
        html += std::string(" ") + attribute.name + "=\"" + escapeHtml(attribute.value) + "\"";
    }
    return html + ">";
}

}  // namespace

Html Html::text(const std::string& text) {
    Html html;
    html.html_ = escapeHtml(text);
    return html;
}

Html element(const char* tag, const std::vector<Attribute>& attributes, const Html& content) {
    Html html;
    html.html_ = openingTag(tag, attributes) + content.html_ + "</" + tag + ">";
    return html;
}

Html element(const char* tag, const Html& content) { return element(tag, {}, content); }

Html voidElement(const char* tag, const std::vector<Attribute>& attributes) {
    Html html;
    html.html_ = openingTag(tag, attributes);
    return html;
}

std::string escapeHtml(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            case '\'': escaped += "&#39;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

std::string folderFileUrl(const std::string& folder, const std::string& file) {
    std::string url = percentEncode(folder);
    std::size_t start = 0;
    for (std::size_t slash; (slash = file.find('/', start)) != std::string::npos; start = slash + 1)
        url += "/" + percentEncode(file.substr(start, slash - start));
    return url + "/" + percentEncode(file.substr(start));
}

}  // namespace plantscan::page
