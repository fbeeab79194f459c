// Packer of texts for CDataCompressor: the build's side of the packed-text format.
// Kept in a header so the resource block generator, the tests and the fuzz
// targets share one packer; the executables never carry it.
#pragma once

#include <string>
#include <vector>

#include "compression/DataCompressor.h"

class CPackeurTexte {
public:
    // Packs len bytes of text (no zero byte allowed) into out, which then holds
    // no zero byte either. False when the text holds a zero byte.
    static bool s_bPack(const unsigned char* text, size_t len, std::string& out)
    {
        out.clear();
        for (size_t i = 0; i < len; ++i)
            if (text[i] == 0)
                return false;
        CPackeurTexte clPackeur(out);
        clPackeur._Pack(text, len);
        return true;
    }

    static bool s_bPack(const std::string& text, std::string& out)
    {
        return s_bPack(reinterpret_cast<const unsigned char*>(text.data()), text.size(), out);
    }

private:
    explicit CPackeurTexte(std::string& out) : m_rOut(out), m_nCourant(0) {}

    typedef CDataCompressor CDC;

    // Character symbol of b when table t is current, or -1.
    static int _nDirect(unsigned char b, int t)
    {
        int s = CDC::_nGetValue(b, static_cast<CDC::eCHARSET>(t));
        if (s < 0 || (t == CDC::CHARSET_4 && s >= CDC::SYMBOLE_ESC_OCTET))
            return -1;
        return s;
    }

    void _Symbole(int s)
    {
        m_tabPaire.push_back(s);
        if (m_tabPaire.size() == 3)
            _VidePaire();
    }

    // Writes the pending symbols as one pair (missing ones become a harmless shift).
    void _VidePaire()
    {
        while (m_tabPaire.size() < 3)
            m_tabPaire.push_back(CDC::SHIFT_1);
        unsigned v = static_cast<unsigned>(m_tabPaire[0] * 1600 + m_tabPaire[1] * 40 + m_tabPaire[2]);
        m_rOut.push_back(static_cast<char>(v / 255 + 1));
        m_rOut.push_back(static_cast<char>(v % 255 + 1));
        m_tabPaire.clear();
    }

    // Bytes that only an escape carries while table 4 is current.
    static bool _bEchappe(unsigned char b)
    {
        for (int t = 0; t < 4; ++t)
            if (_nDirect(b, t) >= 0)
                return false;
        return true;
    }

    void _Pack(const unsigned char* text, size_t len)
    {
        size_t i = 0;
        while (i < len) {
            unsigned char b = text[i];
            int s = _nDirect(b, m_nCourant);
            if (s >= 0) {
                _Symbole(s);
                ++i;
                continue;
            }
            int t = -1;
            for (int k = 0; k < 4 && t < 0; ++k)
                if (k != m_nCourant && CDC::_nGetValue(b, static_cast<CDC::eCHARSET>(k)) >= 0)
                    t = k;
            if (t >= 0) {
                // A lock pays off when the next character also needs table t.
                // Under table 4 the symbols 38 and 39 are escapes even after a
                // shift, so those characters of other tables need a lock there.
                int sLock = _nDirect(b, t);
                int sShift = CDC::_nGetValue(b, static_cast<CDC::eCHARSET>(t));
                bool bShiftImpossible = m_nCourant == CDC::CHARSET_4 && sShift >= CDC::SYMBOLE_ESC_OCTET;
                bool bLock = sLock >= 0 && (bShiftImpossible || (i + 1 < len && _nDirect(text[i + 1], t) >= 0 &&
                                                                 _nDirect(text[i + 1], m_nCourant) < 0));
                if (bLock) {
                    _Symbole(CDC::_nGetCharsetSwitch(static_cast<CDC::eCHARSET>(t)));
                    m_nCourant = t;
                    _Symbole(sLock);
                } else {
                    _Symbole(t); // single shift
                    _Symbole(sShift);
                }
                ++i;
                continue;
            }
            // Escape: table 4 must be current; the rest of the pair is ignored.
            if (m_nCourant != CDC::CHARSET_4) {
                _Symbole(CDC::LOCK_4);
                m_nCourant = CDC::CHARSET_4;
            }
            size_t n = 1;
            while (n < 255 && i + n < len && _bEchappe(text[i + n]))
                ++n;
            _Symbole(n == 1 ? CDC::SYMBOLE_ESC_OCTET : CDC::SYMBOLE_ESC_SUITE);
            if (!m_tabPaire.empty())
                _VidePaire();
            if (n > 1)
                m_rOut.push_back(static_cast<char>(n));
            m_rOut.append(reinterpret_cast<const char*>(text + i), n);
            i += n;
        }
        if (m_tabPaire.size() == 1)
            m_rOut.push_back(static_cast<char>(m_tabPaire[0] + 1));
        else if (!m_tabPaire.empty())
            _VidePaire();
    }

    std::string& m_rOut;
    int m_nCourant;
    std::vector<int> m_tabPaire;
};
