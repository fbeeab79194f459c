// CTString operations that rest on the STR_ family and the character tables:
// case and accent mapping, insensitive comparison, trimming.
#include <cstring>

#include "strings/CharTab.h"
#include "strings/STR.h"
#include "strings/Tstring.h"

void CTString::SetStandard(const char* psz) {
    if (!psz) { Vide(); return; }
    if (psz == _psz) { MapStringEx(3); return; }
    if (_psz && psz > _psz && psz <= _psz + strlen(_psz)) {
        CTString copie(psz);
        SetStandard(copie._psz);
        return;
    }
    long len = static_cast<long>(strlen(psz));
    if (!_psz || static_cast<long>(strlen(_psz)) != len) _SetBufferSize(len);
    STR_nMapStringEx(3, _psz, static_cast<int>(len) + 1, psz, -1, 1);
}

int CTString::bEstEgalI(const char* s) const {
    if (!s) s = "";
    if (bEstVide()) return *s == 0;
    return STR_nUpCompare(s, _psz, 2) == 0;
}

int CTString::bEstEgalI(const CTString& other) const { return bEstEgalI(other.pszGet()); }

int CTString::bCommenceParI(const char* s) const {
    if (!s) return 0;
    long l = static_cast<long>(strlen(s));
    return nTaille() >= l && clGauche(l).bEstEgalI(s);
}

int CTString::bTermineParI(const char* s) const {
    if (!s) return 0;
    long l = static_cast<long>(strlen(s));
    if (nTaille() < l) return 0;
    return l == 0 || clDroite(l).bEstEgalI(s);
}

void CTString::RemplaceI(const char* from, const char* to, long start) {
    _RemplaceTout(from, to, start, pToUpper_Latin1);
}

void CTString::Trim() {
    if (!bEstVide()) STR_SuppressSideSpaces(_psz);
}

void CTString::Trim(char ch) {
    if (!bEstVide()) STR_SuppressSideCar(_psz, ch);
}

void CTString::LTrim(char ch) {
    if (!bEstVide()) STR_SuppressLeftCar(_psz, ch);
}

void CTString::Majuscule() {
    if (!bEstVide()) STR_ToUpper(_psz);
}

void CTString::Minuscule() {
    if (!bEstVide()) STR_ToLower(_psz);
}

void CTString::SansAccent() {
    if (bEstVide()) return;
    for (char* p = _psz; *p; ++p) STR_nMapCharEx(2, p, *p, 1);
}

void CTString::MapStringEx(unsigned flags) {
    if (bEstVide()) return;
    int len = static_cast<int>(strlen(_psz));
    STR_nMapStringEx(flags, _psz, len + 1, _psz, len, 1);
}
