// resbloc: builds the resource block source from the message texts.
//
//   resbloc <messages.txt> <output.cpp>
//
// The texts file holds one message a line: the identifier, blanks, then the text
// in UTF-8 with the escapes \r \n \t \\ and \xHH (a raw code page 1252 byte).
// Empty lines and lines starting with '#' are skipped. Texts are converted to
// code page 1252, packed, checked by unpacking, sorted by identifier and written
// between the two marker records.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "Packer.h"
#include "error/accesdllres.h"

namespace {

const char* const MARQUEUR_DEBUT = "TORQEN RES BLOC START";
const char* const MARQUEUR_FIN = "TORQEN RES BLOC STOP";
const unsigned ID_FIN = 65024; // both identifier bytes 0xFF

struct stErreur {
    std::string sMessage;
};

[[noreturn]] void Echec(const std::string& fichier, int ligne, const std::string& message)
{
    throw stErreur{fichier + ":" + std::to_string(ligne) + ": " + message};
}

// Code page 1252 byte of a Unicode character, -1 when it has none.
int nCp1252(unsigned long cp)
{
    static const unsigned short s_tab80[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
    };
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<int>(cp);
    for (int i = 0; i < 32; ++i)
        if (s_tab80[i] != 0 && s_tab80[i] == cp)
            return 0x80 + i;
    return -1;
}

int nHex(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// UTF-8 text with escapes -> code page 1252 bytes.
std::string sVersCp1252(const std::string& src, const std::string& fichier, int ligne)
{
    std::string out;
    size_t i = 0;
    while (i < src.size()) {
        unsigned char c = static_cast<unsigned char>(src[i]);
        if (c == '\\') {
            if (i + 1 >= src.size())
                Echec(fichier, ligne, "backslash at end of text");
            char e = src[i + 1];
            i += 2;
            switch (e) {
            case 'r': out += '\r'; break;
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case '\\': out += '\\'; break;
            case 'x': {
                int h = i + 1 < src.size() ? nHex(src[i]) : -1;
                int l = h >= 0 ? nHex(src[i + 1]) : -1;
                if (l < 0)
                    Echec(fichier, ligne, "\\x needs two hex digits");
                out += static_cast<char>(h * 16 + l);
                i += 2;
                break;
            }
            default:
                Echec(fichier, ligne, std::string("unknown escape \\") + e);
            }
            continue;
        }
        unsigned long cp;
        int suite;
        if (c < 0x80) {
            cp = c;
            suite = 0;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            suite = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            suite = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            suite = 3;
        } else {
            Echec(fichier, ligne, "invalid UTF-8");
        }
        if (i + suite >= src.size())
            Echec(fichier, ligne, "truncated UTF-8");
        for (int k = 1; k <= suite; ++k) {
            unsigned char d = static_cast<unsigned char>(src[i + k]);
            if ((d & 0xC0) != 0x80)
                Echec(fichier, ligne, "invalid UTF-8");
            cp = (cp << 6) | (d & 0x3F);
        }
        i += 1 + suite;
        int b = nCp1252(cp);
        if (b < 0)
            Echec(fichier, ligne, "character outside code page 1252");
        out += static_cast<char>(b);
    }
    if (out.find('\0') != std::string::npos)
        Echec(fichier, ligne, "zero byte in text");
    return out;
}

std::map<unsigned, std::string> LitTextes(const std::string& fichier)
{
    std::ifstream in(fichier, std::ios::binary);
    if (!in)
        throw stErreur{"cannot read " + fichier};
    std::map<unsigned, std::string> textes;
    std::string sLigne;
    int ligne = 0;
    while (std::getline(in, sLigne)) {
        ++ligne;
        if (!sLigne.empty() && sLigne.back() == '\r')
            sLigne.pop_back();
        if (sLigne.empty() || sLigne[0] == '#')
            continue;
        size_t p = 0;
        unsigned long id = 0;
        while (p < sLigne.size() && sLigne[p] >= '0' && sLigne[p] <= '9' && id < 1000000)
            id = id * 10 + static_cast<unsigned>(sLigne[p++] - '0');
        if (p == 0 || p >= sLigne.size() || (sLigne[p] != ' ' && sLigne[p] != '\t'))
            Echec(fichier, ligne, "expected: identifier, blank, text");
        if (id == 0 || id >= ID_FIN)
            Echec(fichier, ligne, "identifier must lie between 1 and 65023");
        while (p < sLigne.size() && (sLigne[p] == ' ' || sLigne[p] == '\t'))
            ++p;
        if (textes.count(static_cast<unsigned>(id)))
            Echec(fichier, ligne, "identifier defined twice");
        textes[static_cast<unsigned>(id)] = sVersCp1252(sLigne.substr(p), fichier, ligne);
    }
    return textes;
}

void AjouteRecord(std::vector<unsigned char>& bloc, std::vector<unsigned>& tailles, unsigned id, const std::string& stocke)
{
    bloc.push_back(static_cast<unsigned char>(id / 255 + 1));
    bloc.push_back(static_cast<unsigned char>(id % 255 + 1));
    bloc.insert(bloc.end(), stocke.begin(), stocke.end());
    bloc.push_back(0);
    tailles.push_back(static_cast<unsigned>(stocke.size()));
}

std::string sGenere(const std::map<unsigned, std::string>& textes)
{
    std::vector<unsigned char> bloc;
    std::vector<unsigned> tailles;
    AjouteRecord(bloc, tailles, 0, MARQUEUR_DEBUT);
    for (const auto& e : textes) {
        std::string packe;
        if (!CPackeurTexte::s_bPack(e.second, packe))
            throw stErreur{"text " + std::to_string(e.first) + " holds a zero byte"};
        // The build refuses a block the runtime would not read back exactly.
        std::vector<char> relu(e.second.size() + 1);
        int n = static_cast<int>(relu.size());
        if (CDataCompressor::s_nDeCompress(relu.data(), &n, packe.c_str()) != 0 ||
            std::string(relu.data(), static_cast<size_t>(n)) != e.second)
            throw stErreur{"text " + std::to_string(e.first) + " does not unpack to itself"};
        AjouteRecord(bloc, tailles, e.first, packe);
    }
    AjouteRecord(bloc, tailles, ID_FIN, MARQUEUR_FIN);
    if (bloc.size() > 0xFFFF)
        throw stErreur{"resource block exceeds 65535 bytes"};

    std::ostringstream o;
    o << "// Generated by resbloc from the message texts; do not edit.\n"
      << "#include \"error/accesdllres.h\"\n\n"
      << "namespace {\n"
      << "// " << textes.size() << " packed texts between the two marker records.\n"
      << "const unsigned char s_abyBlocRes[" << bloc.size() << "] = {";
    for (size_t i = 0; i < bloc.size(); ++i) {
        if (i % 16 == 0)
            o << "\n   ";
        char hex[8];
        snprintf(hex, sizeof hex, " 0x%02X,", bloc[i]);
        o << hex;
    }
    o << "\n};\n}\n\n"
      << "const char* const _pszBufferRes = reinterpret_cast<const char*>(s_abyBlocRes);\n\n"
      << "const uint16_t _tabTailleChaineRes[DLLRES_NB_RECORDS] = {\n    0,";
    for (size_t i = 0; i + 1 < tailles.size(); ++i)
        o << (i % 12 == 11 ? "\n    " : " ") << tailles[i] << ",";
    o << "\n};\n";
    return o.str();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: resbloc <messages.txt> <output.cpp>\n");
        return 2;
    }
    try {
        std::map<unsigned, std::string> textes = LitTextes(argv[1]);
        if (textes.size() != DLLRES_NB_TEXTES)
            throw stErreur{std::string(argv[1]) + ": " + std::to_string(textes.size()) + " texts, the block holds " +
                           std::to_string(DLLRES_NB_TEXTES)};
        std::string source = sGenere(textes);
        std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
        out << source;
        if (!out.flush())
            throw stErreur{std::string("cannot write ") + argv[2]};
    } catch (const stErreur& e) {
        fprintf(stderr, "resbloc: %s\n", e.sMessage.c_str());
        return 1;
    }
    return 0;
}
