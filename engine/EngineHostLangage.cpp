// Values, expressions, statements and procedures of the host-driven applications.
#include "EngineHostLangage.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// Procedures calling procedures stop here instead of exhausting the stack; a
// whole call makes at most so many procedure calls, a text grows to at most so
// many bytes and all texts joined during the call to at most so many, so a
// recursive script ends with an error instead of never.
const int gnProfondeurMax = 64;
// Parentheses and signs nest by recursion too: all the expressions of a call,
// through every procedure level, nest at most so deep.
const int gnImbricationMax = 256;
thread_local int gnImbrications = 0;
const long gnAppelsMax = 100000;
const size_t gnTailleTexteMax = 16u << 20;
const size_t gnOctetsJointsMax = 256u << 20;
thread_local long gnAppelsRestants = gnAppelsMax;
thread_local size_t gnOctetsRestants = gnOctetsJointsMax;

// Restores the budgets at the start of each call from outside.
struct stBUDGET {
    stBUDGET()
    {
        gnAppelsRestants = gnAppelsMax;
        gnOctetsRestants = gnOctetsJointsMax;
    }
};

bool bErreur(stERREURH *pstErreur, int nCode, const std::string &sTexte)
{
    pstErreur->nCode = nCode;
    pstErreur->sTexte = sTexte;
    return false;
}

bool bNumerique(const stVALEURH &v)
{
    return v.wType == TQTYPE_BOOLEEN || v.wType == TQTYPE_ENTIER || v.wType == TQTYPE_ENTIER64 ||
           v.wType == TQTYPE_REEL;
}

double dDe(const stVALEURH &v)
{
    return v.wType == TQTYPE_REEL ? v.dReel : static_cast<double>(v.nEntier);
}

class CEvaluateur {
public:
    CEvaluateur(stMONDEH &stMonde, const std::string &sTexte, const std::vector<stVALEURH> &tabArguments,
                const std::vector<std::string> &tabParametres, bool bVerifie, int nProfondeur, stERREURH *pstErreur)
        : m_stMonde(stMonde),
          m_sTexte(sTexte),
          m_tabArguments(tabArguments),
          m_tabParametres(tabParametres),
          m_bVerifie(bVerifie),
          m_nProfondeur(nProfondeur),
          m_pstErreur(pstErreur)
    {
    }

    bool bEvalue(stVALEURH *pstValeur)
    {
        if (!bAdditif(pstValeur))
            return false;
        Blancs();
        if (m_nPos != m_sTexte.size())
            return bSyntaxe("unexpected text");
        return true;
    }

private:
    bool bSyntaxe(const std::string &sRaison)
    {
        return bErreur(m_pstErreur, TQ_ERR_SYNTAXE,
                       sRaison + " at column " + std::to_string(m_nPos + 1) + " in: " + m_sTexte);
    }
    void Blancs()
    {
        while (m_nPos < m_sTexte.size() && isspace(static_cast<unsigned char>(m_sTexte[m_nPos])))
            ++m_nPos;
    }
    bool bCar(char c)
    {
        Blancs();
        if (m_nPos < m_sTexte.size() && m_sTexte[m_nPos] == c) {
            ++m_nPos;
            return true;
        }
        return false;
    }
    char cCourant()
    {
        Blancs();
        return m_nPos < m_sTexte.size() ? m_sTexte[m_nPos] : '\0';
    }

    bool bAdditif(stVALEURH *pv)
    {
        if (!bMultiplicatif(pv))
            return false;
        for (;;) {
            char c = cCourant();
            if (c != '+' && c != '-')
                return true;
            ++m_nPos;
            stVALEURH vDroite;
            if (!bMultiplicatif(&vDroite) || !bOpere(c, pv, vDroite))
                return false;
        }
    }
    bool bMultiplicatif(stVALEURH *pv)
    {
        if (!bUnaire(pv))
            return false;
        for (;;) {
            char c = cCourant();
            if (c != '*' && c != '/')
                return true;
            ++m_nPos;
            stVALEURH vDroite;
            if (!bUnaire(&vDroite) || !bOpere(c, pv, vDroite))
                return false;
        }
    }
    bool bUnaire(stVALEURH *pv)
    {
        struct stNIVEAU {
            stNIVEAU() { ++gnImbrications; }
            ~stNIVEAU() { --gnImbrications; }
        } stNiveau;
        if (gnImbrications > gnImbricationMax)
            return bErreur(m_pstErreur, TQ_ERR_ARGUMENT, "expression nested too deeply");
        if (bCar('-')) {
            if (!bUnaire(pv))
                return false;
            return bOpere('-', pv, stVALEURH::Entier(0), true);
        }
        return bPrimaire(pv);
    }

    // a op b into *pa; bInverse computes b op a (unary minus: 0 - a).
    bool bOpere(char cOp, stVALEURH *pa, const stVALEURH &vb, bool bInverse = false)
    {
        const stVALEURH &g = bInverse ? vb : *pa;
        const stVALEURH &d = bInverse ? *pa : vb;
        stVALEURH r;
        // A check computes nothing: only the syntax counts.
        if (g.bNull || d.bNull || m_bVerifie) {
            *pa = stVALEURH::Null();
            return true;
        }
        const bool bOctets = g.wType == TQTYPE_TEXTE || d.wType == TQTYPE_TEXTE ||
                             (g.wType == TQTYPE_BINAIRE && d.wType == TQTYPE_BINAIRE);
        if (cOp == '+' && bOctets) {
            size_t nTaille = g.sTexte().size() + d.sTexte().size();
            if (nTaille > gnTailleTexteMax)
                return bErreur(m_pstErreur, TQ_ERR_ARGUMENT, "text longer than 16 MB");
            if (nTaille > gnOctetsRestants)
                return bErreur(m_pstErreur, TQ_ERR_ARGUMENT, "too much text joined in one call");
            gnOctetsRestants -= nTaille;
        }
        if (cOp == '+' && (g.wType == TQTYPE_TEXTE || d.wType == TQTYPE_TEXTE)) {
            r = stVALEURH::Texte(g.sTexte() + d.sTexte());
        } else if (cOp == '+' && g.wType == TQTYPE_BINAIRE && d.wType == TQTYPE_BINAIRE) {
            r = stVALEURH::Binaire(g.sOctets + d.sOctets);
        } else if (!bNumerique(g) || !bNumerique(d)) {
            return bErreur(m_pstErreur, TQ_ERR_TYPE, std::string("operator ") + cOp + " on a text or binary value");
        } else if (g.wType == TQTYPE_REEL || d.wType == TQTYPE_REEL) {
            double a = dDe(g), b = dDe(d);
            if (cOp == '/' && b == 0.0)
                return bErreur(m_pstErreur, TQ_ERR_DIVISION, "division by zero");
            r = stVALEURH::Reel(cOp == '+' ? a + b : cOp == '-' ? a - b : cOp == '*' ? a * b : a / b);
        } else {
            int64_t a = g.nEntier, b = d.nEntier, n = 0;
            bool bDepasse = false;
            switch (cOp) {
            case '+': bDepasse = __builtin_add_overflow(a, b, &n); break;
            case '-': bDepasse = __builtin_sub_overflow(a, b, &n); break;
            case '*': bDepasse = __builtin_mul_overflow(a, b, &n); break;
            default:
                if (b == 0)
                    return bErreur(m_pstErreur, TQ_ERR_DIVISION, "division by zero");
                bDepasse = a == INT64_MIN && b == -1;
                if (!bDepasse)
                    n = a / b;
            }
            if (bDepasse)
                return bErreur(m_pstErreur, TQ_ERR_TYPE, "integer overflow");
            bool b64 = g.wType == TQTYPE_ENTIER64 || d.wType == TQTYPE_ENTIER64;
            r = b64 ? stVALEURH::Entier64(n) : stVALEURH::Entier(n);
        }
        *pa = r;
        return true;
    }

    bool bNombre(stVALEURH *pv)
    {
        size_t nDebut = m_nPos;
        while (m_nPos < m_sTexte.size() && isdigit(static_cast<unsigned char>(m_sTexte[m_nPos])))
            ++m_nPos;
        bool bReel = false;
        if (m_nPos < m_sTexte.size() && m_sTexte[m_nPos] == '.') {
            bReel = true;
            ++m_nPos;
            while (m_nPos < m_sTexte.size() && isdigit(static_cast<unsigned char>(m_sTexte[m_nPos])))
                ++m_nPos;
        }
        if (m_nPos < m_sTexte.size() && (m_sTexte[m_nPos] == 'e' || m_sTexte[m_nPos] == 'E')) {
            size_t n = m_nPos + 1;
            if (n < m_sTexte.size() && (m_sTexte[n] == '+' || m_sTexte[n] == '-'))
                ++n;
            if (n < m_sTexte.size() && isdigit(static_cast<unsigned char>(m_sTexte[n]))) {
                bReel = true;
                m_nPos = n;
                while (m_nPos < m_sTexte.size() && isdigit(static_cast<unsigned char>(m_sTexte[m_nPos])))
                    ++m_nPos;
            }
        }
        std::string sNombre = m_sTexte.substr(nDebut, m_nPos - nDebut);
        errno = 0;
        if (bReel) {
            double d = strtod(sNombre.c_str(), nullptr);
            if (errno == ERANGE)
                return bSyntaxe("number out of range");
            *pv = stVALEURH::Reel(d);
            return true;
        }
        long long n = strtoll(sNombre.c_str(), nullptr, 10);
        if (errno == ERANGE)
            return bSyntaxe("number out of range");
        if (m_nPos < m_sTexte.size() && m_sTexte[m_nPos] == 'L') {
            ++m_nPos;
            *pv = stVALEURH::Entier64(n);
        } else {
            *pv = stVALEURH::Entier(n);
        }
        return true;
    }

    bool bChaine(stVALEURH *pv)
    {
        std::string s;
        ++m_nPos; // opening quote
        while (m_nPos < m_sTexte.size() && m_sTexte[m_nPos] != '"') {
            char c = m_sTexte[m_nPos++];
            if (c == '\\' && m_nPos < m_sTexte.size()) {
                char e = m_sTexte[m_nPos++];
                c = e == 'n' ? '\n' : e == 't' ? '\t' : e;
            }
            s += c;
        }
        if (m_nPos >= m_sTexte.size())
            return bSyntaxe("unterminated text");
        ++m_nPos;
        *pv = stVALEURH::Texte(s);
        return true;
    }

    std::string sIdentificateur()
    {
        size_t nDebut = m_nPos;
        while (m_nPos < m_sTexte.size() &&
               (isalnum(static_cast<unsigned char>(m_sTexte[m_nPos])) || m_sTexte[m_nPos] == '_'))
            ++m_nPos;
        return m_sTexte.substr(nDebut, m_nPos - nDebut);
    }

    // "[e1,e2]" after a property name: appended to its key as evaluated numbers.
    bool bIndices(std::string *psCle)
    {
        if (!bCar('['))
            return true;
        std::string sIndices;
        do {
            stVALEURH v;
            if (!bAdditif(&v))
                return false;
            sIndices += (sIndices.empty() ? "" : ",") + v.sTexte();
        } while (bCar(','));
        if (!bCar(']'))
            return bSyntaxe("] expected");
        *psCle += "[" + sIndices + "]";
        return true;
    }

    bool bFonction(const std::string &sNom, stVALEURH *pv)
    {
        std::vector<stVALEURH> tabArgs;
        if (!bCar(')')) {
            do {
                stVALEURH v;
                if (!bAdditif(&v))
                    return false;
                tabArgs.push_back(v);
            } while (bCar(','));
            if (!bCar(')'))
                return bSyntaxe(") expected");
        }
        static const char *const tabInternes[] = {"len", "text", "binary", "int64", "double"};
        for (const char *pszInterne : tabInternes) {
            if (sNom != pszInterne)
                continue;
            if (tabArgs.size() != 1)
                return bErreur(m_pstErreur, TQ_ERR_ARGUMENT, sNom + " takes one argument");
            const stVALEURH &a = tabArgs[0];
            if (a.bNull) {
                *pv = stVALEURH::Null();
            } else if (sNom == "len") {
                *pv = stVALEURH::Entier(static_cast<int64_t>(a.wType == TQTYPE_BINAIRE ? a.sOctets.size()
                                                                                        : a.sTexte().size()));
            } else if (sNom == "text") {
                *pv = stVALEURH::Texte(a.wType == TQTYPE_BINAIRE ? a.sOctets : a.sTexte());
            } else if (sNom == "binary") {
                *pv = stVALEURH::Binaire(a.wType == TQTYPE_BINAIRE ? a.sOctets : a.sTexte());
            } else if (!bNumerique(a)) {
                return bErreur(m_pstErreur, TQ_ERR_TYPE, sNom + " takes a number");
            } else if (sNom == "int64") {
                int64_t n = a.nEntier;
                if (a.wType == TQTYPE_REEL && !bReelVersEntier64(a.dReel, &n))
                    return bErreur(m_pstErreur, TQ_ERR_TYPE, "integer overflow");
                *pv = stVALEURH::Entier64(n);
            } else {
                *pv = stVALEURH::Reel(dDe(a));
            }
            return true;
        }
        if (m_bVerifie) {
            *pv = stVALEURH::Null();
            return true;
        }
        if (m_nProfondeur >= gnProfondeurMax)
            return bErreur(m_pstErreur, TQ_ERR_ARGUMENT, "procedures nested too deeply");
        if (--gnAppelsRestants < 0)
            return bErreur(m_pstErreur, TQ_ERR_ARGUMENT, "too many procedure calls");
        auto it = m_stMonde.mapProcedures.find(sNom);
        if (it == m_stMonde.mapProcedures.end())
            return bErreur(m_pstErreur, TQ_ERR_PROCEDURE, "unknown procedure " + sNom);
        stPROCEDUREH stProc = it->second; // the call may close or reopen files
        bool bRetour = false;
        *pv = stVALEURH::Null();
        return bExecuteProfondeur(stProc.tabLignes, stProc.sSource, tabArgs, stProc.tabParametres, pv, &bRetour);
    }

    bool bExecuteProfondeur(const std::vector<std::pair<int, std::string>> &tabLignes, const std::string &sSource,
                            const std::vector<stVALEURH> &tabArgs, const std::vector<std::string> &tabParams,
                            stVALEURH *pv, bool *pbRetour);

    bool bPrimaire(stVALEURH *pv)
    {
        char c = cCourant();
        if (c == '(') {
            ++m_nPos;
            if (!bAdditif(pv))
                return false;
            return bCar(')') ? true : bSyntaxe(") expected");
        }
        if (isdigit(static_cast<unsigned char>(c)) || c == '.')
            return bNombre(pv);
        if (c == '"')
            return bChaine(pv);
        if (c == '$') {
            ++m_nPos;
            size_t nDebut = m_nPos;
            while (m_nPos < m_sTexte.size() && isdigit(static_cast<unsigned char>(m_sTexte[m_nPos])))
                ++m_nPos;
            if (m_nPos == nDebut || m_nPos - nDebut > 4)
                return bSyntaxe("argument number expected");
            size_t n = strtoul(m_sTexte.substr(nDebut, m_nPos - nDebut).c_str(), nullptr, 10);
            if (m_bVerifie) {
                *pv = stVALEURH::Null();
                return true;
            }
            if (n == 0 || n > m_tabArguments.size())
                return bErreur(m_pstErreur, TQ_ERR_ARGUMENT, "no argument $" + std::to_string(n));
            *pv = m_tabArguments[n - 1];
            return true;
        }
        if (!isalpha(static_cast<unsigned char>(c)) && c != '_')
            return bSyntaxe(c ? std::string("unexpected '") + c + "'" : "value expected");
        std::string sNom = sIdentificateur();
        if (bCar('('))
            return bFonction(sNom, pv);
        if (cCourant() == '.') {
            std::string sCle = sNom;
            while (bCar('.')) {
                Blancs();
                std::string sPartie = sIdentificateur();
                if (sPartie.empty())
                    return bSyntaxe("property name expected");
                sCle += "." + sPartie;
            }
            if (!bIndices(&sCle))
                return false;
            if (m_bVerifie) {
                *pv = stVALEURH::Null();
                return true;
            }
            auto it = m_stMonde.mapProprietes.find(sCle);
            if (it == m_stMonde.mapProprietes.end())
                return bErreur(m_pstErreur, TQ_ERR_PROPRIETE, "unknown property " + sCle);
            *pv = it->second;
            return true;
        }
        if (sNom == "true" || sNom == "false") {
            *pv = stVALEURH::Booleen(sNom == "true");
            return true;
        }
        if (sNom == "null") {
            *pv = stVALEURH::Null();
            return true;
        }
        for (size_t i = 0; i < m_tabParametres.size(); ++i) {
            if (m_tabParametres[i] == sNom) {
                *pv = i < m_tabArguments.size() ? m_tabArguments[i] : stVALEURH::Null();
                return true;
            }
        }
        if (m_bVerifie) {
            *pv = stVALEURH::Null();
            return true;
        }
        auto it = m_stMonde.mapVariables.find(sNom);
        if (it == m_stMonde.mapVariables.end())
            return bErreur(m_pstErreur, TQ_ERR_VARIABLE, "unknown variable " + sNom);
        *pv = it->second;
        return true;
    }

    stMONDEH &m_stMonde;
    const std::string &m_sTexte;
    const std::vector<stVALEURH> &m_tabArguments;
    const std::vector<std::string> &m_tabParametres;
    bool m_bVerifie;
    int m_nProfondeur;
    stERREURH *m_pstErreur;
    size_t m_nPos = 0;
};

bool bExecuteInterne(stMONDEH &stMonde, const std::vector<std::pair<int, std::string>> &tabLignes,
                     const std::string &sSource, const std::vector<stVALEURH> &tabArguments,
                     const std::vector<std::string> &tabParametres, bool bVerifie, int nProfondeur,
                     stVALEURH *pstRetour, bool *pbRetour, stERREURH *pstErreur);

bool CEvaluateur::bExecuteProfondeur(const std::vector<std::pair<int, std::string>> &tabLignes,
                                     const std::string &sSource, const std::vector<stVALEURH> &tabArgs,
                                     const std::vector<std::string> &tabParams, stVALEURH *pv, bool *pbRetour)
{
    return bExecuteInterne(m_stMonde, tabLignes, sSource, tabArgs, tabParams, false, m_nProfondeur + 1, pv,
                           pbRetour, m_pstErreur);
}

bool bEvalueProfondeur(stMONDEH &stMonde, const std::string &sExpression, const std::vector<stVALEURH> &tabArguments,
                       const std::vector<std::string> &tabParametres, bool bVerifie, int nProfondeur,
                       stVALEURH *pstValeur, stERREURH *pstErreur)
{
    CEvaluateur clEvaluateur(stMonde, sExpression, tabArguments, tabParametres, bVerifie, nProfondeur, pstErreur);
    return clEvaluateur.bEvalue(pstValeur);
}

// First word of a line and the rest after one blank.
void Coupe(const std::string &sLigne, std::string *psMot, std::string *psReste)
{
    size_t nDebut = sLigne.find_first_not_of(" \t");
    if (nDebut == std::string::npos) {
        psMot->clear();
        psReste->clear();
        return;
    }
    size_t nFin = sLigne.find_first_of(" \t", nDebut);
    *psMot = sLigne.substr(nDebut, nFin == std::string::npos ? std::string::npos : nFin - nDebut);
    *psReste = nFin == std::string::npos ? std::string() : sLigne.substr(nFin + 1);
}

bool bNomValide(const std::string &sNom, bool bPropriete)
{
    if (sNom.empty() || isdigit(static_cast<unsigned char>(sNom[0])))
        return false;
    for (char c : sNom)
        if (!isalnum(static_cast<unsigned char>(c)) && c != '_' && !(bPropriete && c == '.'))
            return false;
    return !bPropriete || (sNom.find('.') != std::string::npos && sNom.front() != '.' && sNom.back() != '.');
}

bool bExecuteInterne(stMONDEH &stMonde, const std::vector<std::pair<int, std::string>> &tabLignes,
                     const std::string &sSource, const std::vector<stVALEURH> &tabArguments,
                     const std::vector<std::string> &tabParametres, bool bVerifie, int nProfondeur,
                     stVALEURH *pstRetour, bool *pbRetour, stERREURH *pstErreur)
{
    *pbRetour = false;
    for (const auto &stLigne : tabLignes) {
        std::string sMot, sReste;
        Coupe(stLigne.second, &sMot, &sReste);
        if (sMot.empty() || sMot[0] == '#')
            continue;
        auto bEchec = [&](void) {
            if (pstErreur->nCode == TQ_ERR_SYNTAXE && !sSource.empty())
                pstErreur->sTexte = sSource + ":" + std::to_string(stLigne.first) + ": " + pstErreur->sTexte;
            return false;
        };
        auto bEvalue = [&](const std::string &sExpr, stVALEURH *pv) {
            return bEvalueProfondeur(stMonde, sExpr, tabArguments, tabParametres, bVerifie, nProfondeur, pv,
                                     pstErreur);
        };
        stVALEURH v;
        if (sMot == "set" || sMot == "setprop") {
            std::string sCible, sExpr;
            Coupe(sReste, &sCible, &sExpr);
            std::string sBase = sCible.substr(0, sCible.find('['));
            if (!bNomValide(sBase, sMot == "setprop")) {
                bErreur(pstErreur, TQ_ERR_SYNTAXE, sMot + " needs a " + (sMot == "set" ? "name" : "ELEM.PROP"));
                return bEchec();
            }
            if (!bEvalue(sExpr, &v))
                return bEchec();
            if (bVerifie)
                continue;
            if (sMot == "set")
                stMonde.mapVariables[sCible] = v;
            else
                stMonde.mapProprietes[sCible] = v;
        } else if (sMot == "print") {
            if (!bEvalue(sReste, &v))
                return bEchec();
            if (!bVerifie) {
                std::string s = v.sTexte() + "\n";
                fwrite(s.data(), 1, s.size(), stdout);
                fflush(stdout);
            }
        } else if (sMot == "fail") {
            std::string sCode, sExpr;
            Coupe(sReste, &sCode, &sExpr);
            char *pszFin = nullptr;
            errno = 0;
            long nCode = strtol(sCode.c_str(), &pszFin, 10);
            if (sCode.empty() || *pszFin || errno || nCode <= 0 || nCode > INT32_MAX) {
                bErreur(pstErreur, TQ_ERR_SYNTAXE, "fail needs a positive error code");
                return bEchec();
            }
            if (!bEvalue(sExpr, &v))
                return bEchec();
            if (!bVerifie)
                return bErreur(pstErreur, static_cast<int>(nCode), v.sTexte());
        } else if (sMot == "return") {
            if (sReste.find_first_not_of(" \t") == std::string::npos)
                v = stVALEURH::Null();
            else if (!bEvalue(sReste, &v))
                return bEchec();
            if (!bVerifie) {
                *pstRetour = v;
                *pbRetour = true;
                return true;
            }
        } else {
            bErreur(pstErreur, TQ_ERR_SYNTAXE, "unknown statement \"" + sMot + "\"");
            return bEchec();
        }
    }
    return true;
}

} // namespace

stVALEURH stVALEURH::Booleen(bool b)
{
    stVALEURH v;
    v.wType = TQTYPE_BOOLEEN;
    v.bNull = false;
    v.nEntier = b ? 1 : 0;
    return v;
}

stVALEURH stVALEURH::Entier(int64_t n)
{
    stVALEURH v = Entier64(n);
    if (n >= INT32_MIN && n <= INT32_MAX)
        v.wType = TQTYPE_ENTIER;
    return v;
}

stVALEURH stVALEURH::Entier64(int64_t n)
{
    stVALEURH v;
    v.wType = TQTYPE_ENTIER64;
    v.bNull = false;
    v.nEntier = n;
    return v;
}

stVALEURH stVALEURH::Reel(double d)
{
    stVALEURH v;
    v.wType = TQTYPE_REEL;
    v.bNull = false;
    v.dReel = d;
    return v;
}

stVALEURH stVALEURH::Texte(const std::string &s)
{
    stVALEURH v;
    v.wType = TQTYPE_TEXTE;
    v.bNull = false;
    v.sOctets = s;
    return v;
}

stVALEURH stVALEURH::Binaire(const std::string &s)
{
    stVALEURH v = Texte(s);
    v.wType = TQTYPE_BINAIRE;
    return v;
}

std::string stVALEURH::sTexte() const
{
    if (bNull)
        return std::string();
    switch (wType) {
    case TQTYPE_BOOLEEN:
        return nEntier ? "true" : "false";
    case TQTYPE_ENTIER:
    case TQTYPE_ENTIER64:
        return std::to_string(nEntier);
    case TQTYPE_REEL: {
        char sz[32];
        snprintf(sz, sizeof(sz), "%.17g", dReel);
        // The shortest form that reads back the same value.
        for (int nPrecision = 1; nPrecision <= 17; ++nPrecision) {
            char szCourt[32];
            snprintf(szCourt, sizeof(szCourt), "%.*g", nPrecision, dReel);
            if (strtod(szCourt, nullptr) == dReel)
                return szCourt;
        }
        return sz;
    }
    default:
        return sOctets;
    }
}

bool bEvalueH(stMONDEH &stMonde, const std::string &sExpression, const std::vector<stVALEURH> &tabArguments,
              const std::vector<std::string> &tabParametres, bool bVerifie, stVALEURH *pstValeur,
              stERREURH *pstErreur)
{
    stBUDGET stBudget;
    return bEvalueProfondeur(stMonde, sExpression, tabArguments, tabParametres, bVerifie, 0, pstValeur, pstErreur);
}

bool bExecuteH(stMONDEH &stMonde, const std::vector<std::pair<int, std::string>> &tabLignes,
               const std::string &sSource, const std::vector<stVALEURH> &tabArguments,
               const std::vector<std::string> &tabParametres, bool bVerifie, stVALEURH *pstRetour, bool *pbRetour,
               stERREURH *pstErreur)
{
    stBUDGET stBudget;
    return bExecuteInterne(stMonde, tabLignes, sSource, tabArguments, tabParametres, bVerifie, 0, pstRetour,
                           pbRetour, pstErreur);
}

bool bAppelleH(stMONDEH &stMonde, const std::string &sNom, const std::vector<stVALEURH> &tabArguments,
               stVALEURH *pstRetour, stERREURH *pstErreur)
{
    stBUDGET stBudget;
    auto it = stMonde.mapProcedures.find(sNom);
    if (it == stMonde.mapProcedures.end())
        return bErreur(pstErreur, TQ_ERR_PROCEDURE, "unknown procedure " + sNom);
    stPROCEDUREH stProc = it->second;
    bool bRetour = false;
    *pstRetour = stVALEURH::Null();
    return bExecuteInterne(stMonde, stProc.tabLignes, stProc.sSource, tabArguments, stProc.tabParametres, false, 1,
                           pstRetour, &bRetour, pstErreur);
}

std::vector<std::pair<int, std::string>> tabLignesH(const std::string &sTexte)
{
    std::vector<std::pair<int, std::string>> tabLignes;
    size_t nDebut = 0;
    int nNumero = 0;
    while (nDebut <= sTexte.size()) {
        size_t nFin = sTexte.find('\n', nDebut);
        std::string sLigne = sTexte.substr(nDebut, nFin == std::string::npos ? std::string::npos : nFin - nDebut);
        if (!sLigne.empty() && sLigne.back() == '\r')
            sLigne.pop_back();
        tabLignes.emplace_back(++nNumero, sLigne);
        if (nFin == std::string::npos)
            break;
        nDebut = nFin + 1;
    }
    return tabLignes;
}

bool bChargeH(stMONDEH &stMonde, const std::string &sTexte, const std::string &sSource, const std::string &sMarque,
              stERREURH *pstErreur)
{
    std::map<std::string, stPROCEDUREH> mapNouvelles;
    std::vector<std::pair<int, std::string>> tabHorsProc;
    stPROCEDUREH *pstCourante = nullptr;
    int nLigneProc = 0;
    auto bSyntaxe = [&](int nLigne, const std::string &sRaison) {
        return bErreur(pstErreur, TQ_ERR_SYNTAXE, sSource + ":" + std::to_string(nLigne) + ": " + sRaison);
    };
    for (const auto &stLigne : tabLignesH(sTexte)) {
        std::string sMot, sReste;
        Coupe(stLigne.second, &sMot, &sReste);
        if (sMot == "proc") {
            if (pstCourante)
                return bSyntaxe(stLigne.first, "proc inside a procedure");
            std::vector<std::string> tabMots;
            std::string sNom;
            Coupe(sReste, &sNom, &sReste);
            while (!sReste.empty()) {
                std::string sParam;
                Coupe(sReste, &sParam, &sReste);
                if (sParam.empty())
                    break;
                if (!bNomValide(sParam, false))
                    return bSyntaxe(stLigne.first, "bad parameter name " + sParam);
                tabMots.push_back(sParam);
            }
            if (!bNomValide(sNom, false))
                return bSyntaxe(stLigne.first, "proc needs a name");
            if (mapNouvelles.count(sNom))
                return bSyntaxe(stLigne.first, "procedure " + sNom + " defined twice");
            pstCourante = &mapNouvelles[sNom];
            pstCourante->tabParametres = tabMots;
            pstCourante->sSource = sSource;
            pstCourante->sMarque = sMarque;
            nLigneProc = stLigne.first;
        } else if (sMot == "end") {
            if (!pstCourante)
                return bSyntaxe(stLigne.first, "end without proc");
            pstCourante = nullptr;
        } else if (pstCourante) {
            pstCourante->tabLignes.push_back(stLigne);
        } else {
            tabHorsProc.push_back(stLigne);
        }
    }
    if (pstCourante)
        return bSyntaxe(nLigneProc, "proc without end");
    // Every line is checked before anything runs or replaces what is there.
    stVALEURH v;
    bool bRetour = false;
    for (const auto &stProc : mapNouvelles)
        if (!bExecuteH(stMonde, stProc.second.tabLignes, sSource, {}, stProc.second.tabParametres, true, &v,
                       &bRetour, pstErreur))
            return false;
    for (const auto &stLigne : tabHorsProc) {
        std::string sMot, sReste;
        Coupe(stLigne.second, &sMot, &sReste);
        if (sMot == "return")
            return bSyntaxe(stLigne.first, "return outside a procedure");
    }
    if (!bExecuteH(stMonde, tabHorsProc, sSource, {}, {}, true, &v, &bRetour, pstErreur))
        return false;
    for (auto &stProc : mapNouvelles)
        stMonde.mapProcedures[stProc.first] = stProc.second;
    return bExecuteH(stMonde, tabHorsProc, sSource, {}, {}, false, &v, &bRetour, pstErreur);
}
