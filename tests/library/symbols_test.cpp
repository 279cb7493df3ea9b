// The installed library is a guest in its users' programs: every symbol its own code defines
// lies in plantscan::, so that a program with a readScan or a Segment of its own still links.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

// What the compiler writes before the name of the entity a symbol belongs to.
const char* const ABOUT[] = {"guard variable for ",
                             "vtable for ",
                             "typeinfo for ",
                             "typeinfo name for ",
                             "VTT for ",
                             "construction vtable for ",
                             "non-virtual thunk to ",
                             "virtual thunk to ",
                             "TLS init function for ",
                             "TLS wrapper function for ",
                             "reference temporary #"};

// The qualified name a demangled symbol defines, without the return type that a function
// template's symbol starts with.
std::string definedName(std::string symbol) {
    for (bool stripped = true; stripped;) {
        stripped = false;
        for (const char* prefix : ABOUT) {
            const std::string about = prefix;
            if (symbol.compare(0, about.size(), about) != 0) continue;
            symbol = symbol.substr(about.size());
            if (about == "reference temporary #") symbol = symbol.substr(symbol.find(" for ") + 5);
            stripped = true;
        }
    }
    int depth = 0;
    std::size_t nameStart = 0;
    for (std::size_t i = 0; i < symbol.size(); ++i) {
        const char c = symbol[i];
        if (c == '<' || c == '{' || c == '[') ++depth;
        if (c == '>' || c == '}' || c == ']') --depth;
        if (depth == 0 && c == '(' && symbol.compare(i, 11, "(anonymous ") != 0) break;
        if (depth == 0 && c == ' ' && symbol.compare(i + 1, 10, "namespace)") != 0)
            nameStart = i + 1;
    }
    return symbol.substr(nameStart);
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

// Ours unless the compiler made it (local labels, exception tables, static initialisers and a
// sanitizer's module constructors, the
// type information of a function pointer type) or it is an instantiation of the standard
// library's or OpenCV's own templates and inline functions.
bool definedByOurCode(const std::string& name) {
    if (startsWith(name, "(")) return startsWith(name, "(anonymous namespace)");
    for (const char* notOurs : {".", "DW.ref.", "_GLOBAL__sub_I_", "_sub_I_", "_sub_D_", "__",
                                "std::", "cv::", "__gnu_cxx::", "GCC_except"}) {
        if (startsWith(name, notOurs)) return false;
    }
    return true;
}

}  // namespace

TEST(LibrarySymbols, EveryOneOurCodeDefinesLiesInPlantscan) {
    EXPECT_EQ(definedName("guard variable for plantscan::f()::x"), "plantscan::f()::x");
    EXPECT_EQ(definedName("void plantscan::(anonymous namespace)::g<int>(int)"),
              "plantscan::(anonymous namespace)::g<int>(int)");
    EXPECT_EQ(definedName("readScan(std::string const&)"), "readScan(std::string const&)");
    EXPECT_EQ(definedName("(anonymous namespace)::h((anonymous namespace)::S const&)"),
              "(anonymous namespace)::h((anonymous namespace)::S const&)");
    EXPECT_TRUE(definedByOurCode("(anonymous namespace)::h()"));
    EXPECT_FALSE(definedByOurCode(definedName("typeinfo for void (*)(int)")));

    const std::string command = std::string("nm -C --defined-only ") + PLANTSCAN_ARCHIVE;
    const std::unique_ptr<FILE, int (*)(FILE*)> nm(popen(command.c_str(), "r"), pclose);
    ASSERT_TRUE(nm);
    std::string member, line;
    std::vector<std::string> outside;
    int symbols = 0;
    char buffer[8192];
    while (std::fgets(buffer, sizeof buffer, nm.get()) != nullptr) {
        line = buffer;
        if (!line.empty() && line.back() == '\n') line.pop_back();
        if (!line.empty() && line.back() == ':') {
            member = line.substr(0, line.size() - 1);
            continue;
        }
        // "address type name"
        const std::size_t type = line.find(' ');
        if (type == std::string::npos || line.size() < type + 3) continue;
        const std::string name = definedName(line.substr(type + 3));
        ++symbols;
        if (definedByOurCode(name) && !startsWith(name, "plantscan::"))
            outside.push_back(member + ": " + name);
    }
    EXPECT_GT(symbols, 100);
    std::string list;
    for (const std::string& symbol : outside) list += symbol + "\n";
    EXPECT_TRUE(outside.empty()) << outside.size() << " symbol(s) outside plantscan::\n" << list;
}
