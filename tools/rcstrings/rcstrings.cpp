// Generates the native build's string table from a resource script.
//
//   rcstrings <script.rc> <ids.h> <out.cpp> <symbol>
//
// Reads the STRINGTABLE blocks of the script (with the LANGUAGE statement
// that precedes each), resolves symbolic IDs through the #defines of the
// header, applies the resource compiler's escapes (\\, \n, \t, \", "") and
// writes a C++ array of winsim::StringResource rows with UTF-8 texts. The
// Windows build compiles the same script with windres, so both builds see
// the same strings.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    std::fprintf(stderr, "rcstrings: %s: %s\n", where.c_str(), what.c_str());
    std::exit(1);
}

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

std::map<std::string, long> readDefines(const std::string& path) {
    std::ifstream in(path);
    if (!in) fail(path, "cannot open");
    std::map<std::string, long> defs;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        std::string hash, name, value;
        if (!(ls >> hash >> name >> value) || hash != "#define") continue;
        char* end = nullptr;
        long v = std::strtol(value.c_str(), &end, 0);
        if (end && *end == '\0') defs[name] = v;
    }
    return defs;
}

long parseNumber(const std::string& token, const std::map<std::string, long>& defs, const std::string& where) {
    auto it = defs.find(token);
    if (it != defs.end()) return it->second;
    char* end = nullptr;
    long v = std::strtol(token.c_str(), &end, 0);
    if (token.empty() || !end || *end != '\0') fail(where, "unknown identifier '" + token + "'");
    return v;
}

// Reads a quoted resource string starting at text[pos] == '"'.
std::string readQuoted(const std::string& text, const std::string& where) {
    std::string out;
    size_t i = 1;
    for (;;) {
        if (i >= text.size()) fail(where, "unterminated string");
        char c = text[i];
        if (c == '"') {
            if (i + 1 < text.size() && text[i + 1] == '"') {
                out += '"';
                i += 2;
                continue;
            }
            if (trim(text.substr(i + 1)).size() != 0) fail(where, "text after the string");
            return out;
        }
        if (c == '\\' && i + 1 < text.size()) {
            char n = text[i + 1];
            switch (n) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case '\\': out += '\\'; break;
            case '"': out += '"'; break;
            default: fail(where, std::string("unsupported escape \\") + n);
            }
            i += 2;
            continue;
        }
        out += c;
        ++i;
    }
}

std::string cppLiteral(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", c);
            out += buf;
        }
    }
    return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: rcstrings <script.rc> <ids.h> <out.cpp> <symbol>\n");
        return 2;
    }
    const std::string script = argv[1];
    const auto defs = readDefines(argv[2]);
    std::ifstream in(script);
    if (!in) fail(script, "cannot open");

    struct Row {
        long id;
        long language;
        std::string text;
    };
    std::vector<Row> rows;
    long language = 0;
    bool inTable = false, inBlock = false;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        const std::string where = script + ":" + std::to_string(lineNo);
        std::string t = trim(line);
        if (t.empty() || t.rfind("//", 0) == 0 || t[0] == '#') continue;
        if (!inTable) {
            if (t.rfind("LANGUAGE", 0) == 0) {
                std::string rest = t.substr(8);
                size_t comma = rest.find(',');
                if (comma == std::string::npos) fail(where, "LANGUAGE needs two numbers");
                long primary = parseNumber(trim(rest.substr(0, comma)), defs, where);
                long sub = parseNumber(trim(rest.substr(comma + 1)), defs, where);
                language = (sub << 10) | primary;
            } else if (t == "STRINGTABLE") {
                inTable = true;
            } else {
                fail(where, "unexpected statement");
            }
            continue;
        }
        if (!inBlock) {
            if (t != "BEGIN") fail(where, "BEGIN expected");
            inBlock = true;
            continue;
        }
        if (t == "END") {
            inTable = inBlock = false;
            continue;
        }
        size_t q = t.find('"');
        if (q == std::string::npos) fail(where, "string expected");
        std::string idToken = trim(t.substr(0, q));
        if (!idToken.empty() && idToken.back() == ',') idToken = trim(idToken.substr(0, idToken.size() - 1));
        long id = parseNumber(idToken, defs, where);
        for (const Row& r : rows)
            if (r.id == id) fail(where, "duplicate string ID " + std::to_string(id));
        rows.push_back({id, language, readQuoted(t.substr(q), where)});
    }
    if (inTable) fail(script, "STRINGTABLE not closed");

    std::ofstream out(argv[3]);
    if (!out) fail(argv[3], "cannot write");
    const std::string symbol = argv[4];
    out << "// Generated by rcstrings from " << script << "; do not edit.\n"
        << "#include <cstddef>\n#include \"winsim/modules.h\"\n\n"
        << "extern const winsim::StringResource " << symbol << "[];\n"
        << "extern const size_t " << symbol << "Count;\n\n"
        << "const winsim::StringResource " << symbol << "[] = {\n";
    for (const Row& r : rows) out << "    {" << r.id << ", " << r.language << ", " << cppLiteral(r.text) << "},\n";
    out << "};\nconst size_t " << symbol << "Count = sizeof(" << symbol << ") / sizeof(" << symbol << "[0]);\n";
    return out ? 0 : 1;
}
