// hlpdump FILE: what the structural reader finds in a help file, as one
// UTF-8 JSON object: title, the contents topic, and per topic its title,
// context hashes and numbers and the text of its paragraphs. The Wine tests
// compare the help viewer's pages with it.
#include <fstream>
#include <iostream>
#include <sstream>

#include "Cp932.h"
#include "HlpReader.h"

namespace {

std::string Json(const std::string& cp932) {
    const std::string s = helpc::Cp932ToUtf8(cp932);
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\v') {
            out += "\\u000b";
        } else if (c < 0x20) {
            out += "?";
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

template <class T>
std::string List(const std::vector<T>& v) {
    std::string out = "[";
    for (std::size_t i = 0; i < v.size(); ++i) out += (i ? "," : "") + std::to_string(v[i]);
    return out + "]";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: hlpdump FILE\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    try {
        const hlp::HelpFile f = hlp::ReadHelpFile(bytes.str());
        std::cout << "{\"title\":" << Json(f.title) << ",\"contents\":" << f.contents << ",\"topics\":[";
        for (std::size_t t = 0; t < f.topics.size(); ++t) {
            std::string text;
            for (const hlp::Paragraph& p : f.topics[t].paragraphs) {
                std::string para = p.Text();
                for (char& c : para)
                    if (c == '\n') c = '\v';  // a line break within the paragraph
                text += para + "\n";
            }
            std::cout << (t ? "," : "") << "{\"title\":" << Json(f.topics[t].title) << ",\"hashes\":" << List(f.topics[t].hashes)
                      << ",\"numbers\":" << List(f.topics[t].numbers) << ",\"text\":" << Json(text) << "}";
        }
        std::cout << "]}\n";
    } catch (const std::exception& e) {
        std::cerr << argv[1] << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}
