// The texts of an application's Debian package and the checks of its name and version.
#include "DebUnit.h"

#include <cstring>
#include <ctime>
#include <map>

#include "launcher/InfoExeElf.h"

namespace {

bool bDans(char c, const char *pszPermis)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           (c != '\0' && strchr(pszPermis, c));
}

uint64_t qwLit(const uint8_t *p, int nOctets)
{
    uint64_t v = 0;
    for (int i = nOctets - 1; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

// Dotted numbers compared part by part: "2.34" > "2.4".
bool bPlusRecente(const std::string &a, const std::string &b)
{
    size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
        unsigned long x = strtoul(a.c_str() + i, nullptr, 10), y = strtoul(b.c_str() + j, nullptr, 10);
        if (x != y)
            return x > y;
        i = a.find('.', i);
        j = b.find('.', j);
        i = i == std::string::npos ? a.size() : i + 1;
        j = j == std::string::npos ? b.size() : j + 1;
    }
    return false;
}

// The libraries a launcher may link, the package that holds each, and the prefix
// of the symbol versions that tell the package version needed.
struct stBIBLIOTHEQUE {
    const char *pszSoname, *pszPaquet, *pszPrefixeVersion;
};
const stBIBLIOTHEQUE gtabBibliotheques[] = {
    {"libc.so.6", "libc6", "GLIBC_"},          {"libm.so.6", "libc6", "GLIBC_"},
    {"libdl.so.2", "libc6", "GLIBC_"},         {"libpthread.so.0", "libc6", "GLIBC_"},
    {"librt.so.1", "libc6", "GLIBC_"},         {"ld-linux-x86-64.so.2", "libc6", "GLIBC_"},
    {"ld-linux.so.2", "libc6", "GLIBC_"},      {"libstdc++.so.6", "libstdc++6", "GLIBCXX_3.4."},
    {"libgcc_s.so.1", "libgcc-s1", "GCC_"},
    // A sanitizer build's launcher.
    {"libasan.so.8", "libasan8", nullptr},   {"libubsan.so.1", "libubsan1", nullptr},
};

// GLIBCXX_3.4.N appeared with this GCC release, the version of the libstdc++6 package.
std::string sVersionLibstdcxx(const std::string &sN)
{
    static const std::map<unsigned long, const char *> s_tab = {
        {21, "5"}, {22, "6"}, {23, "6"}, {24, "7"}, {25, "8"}, {26, "9"}, {27, "9"}, {28, "10"}, {29, "11"}, {30, "12"}};
    auto it = s_tab.upper_bound(strtoul(sN.c_str(), nullptr, 10));
    return it == s_tab.begin() ? "" : std::prev(it)->second;
}

} // namespace

bool bNomPaquetValide(const std::string &s, std::string *psRaison)
{
    if (s.size() < 2 || !((s[0] >= 'a' && s[0] <= 'z') || (s[0] >= '0' && s[0] <= '9'))) {
        *psRaison = "a package name has at least two characters and starts with a lower-case letter or a digit";
        return false;
    }
    for (char c : s)
        if ((c >= 'A' && c <= 'Z') || !bDans(c, "+-.")) {
            *psRaison = "a package name holds only lower-case letters, digits, '+', '-' and '.'";
            return false;
        }
    // The longest name whose files still fit the package's tar headers.
    if (s.size() > 90) {
        *psRaison = "at most 90 characters here";
        return false;
    }
    return true;
}

bool bVersionValide(const std::string &s, std::string *psRaison)
{
    size_t oDeuxPoints = s.find(':');
    std::string sEpoque = oDeuxPoints == std::string::npos ? "" : s.substr(0, oDeuxPoints);
    std::string sReste = oDeuxPoints == std::string::npos ? s : s.substr(oDeuxPoints + 1);
    if (oDeuxPoints != std::string::npos &&
        (sEpoque.empty() || sEpoque.find_first_not_of("0123456789") != std::string::npos)) {
        *psRaison = "the epoch before ':' is a number";
        return false;
    }
    size_t oTiret = sReste.rfind('-');
    std::string sAmont = oTiret == std::string::npos ? sReste : sReste.substr(0, oTiret);
    std::string sRevision = oTiret == std::string::npos ? "" : sReste.substr(oTiret + 1);
    if (sAmont.empty() || sAmont[0] < '0' || sAmont[0] > '9') {
        *psRaison = "the upstream version starts with a digit";
        return false;
    }
    // A '-' belongs to the upstream version only when a revision follows, a ':' only
    // after an epoch.
    std::string sPermisAmont = std::string(".+~") + (oTiret == std::string::npos ? "" : "-") +
                               (oDeuxPoints == std::string::npos ? "" : ":");
    for (char c : sAmont)
        if (!bDans(c, sPermisAmont.c_str())) {
            *psRaison = std::string("the upstream version may not hold '") + c + "'";
            return false;
        }
    if (oTiret != std::string::npos) {
        if (sRevision.empty()) {
            *psRaison = "the Debian revision after '-' is empty";
            return false;
        }
        for (char c : sRevision)
            if (!bDans(c, ".+~")) {
                *psRaison = std::string("the Debian revision may not hold '") + c + "'";
                return false;
            }
    }
    return true;
}

bool bDependancesElf(const uint8_t *p, size_t n, std::vector<std::string> *ptab, std::string *psErreur)
{
    _stELFENTETE stEntete;
    uint64_t oDyn = 0, nDyn = 0, oStr = 0, nStr = 0, oVer = 0, nVer = 0;
    if (!ElfInfoExe_bLitEntete(p, n, &stEntete) || !ElfInfoExe_bTrouveSection(p, n, ".dynamic", &oDyn, &nDyn) ||
        !ElfInfoExe_bTrouveSection(p, n, ".dynstr", &oStr, &nStr)) {
        *psErreur = "not a dynamically linked program";
        return false;
    }
    auto sChaine = [&](uint64_t o) {
        return o < nStr ? std::string(reinterpret_cast<const char *>(p + oStr + o), strnlen(reinterpret_cast<const char *>(p + oStr + o), nStr - o))
                        : std::string();
    };
    // Package -> highest version asked ("" when none is known).
    std::map<std::string, std::string> tabPaquets;
    std::map<std::string, const stBIBLIOTHEQUE *> tabParSoname;
    const size_t nEntree = stEntete.nClasse == 64 ? 16 : 8;
    for (uint64_t o = 0; o + nEntree <= nDyn; o += nEntree) {
        uint64_t nTag = qwLit(p + oDyn + o, static_cast<int>(nEntree / 2));
        if (nTag == 0)
            break;
        if (nTag != 1) // DT_NEEDED
            continue;
        std::string sSoname = sChaine(qwLit(p + oDyn + o + nEntree / 2, static_cast<int>(nEntree / 2)));
        const stBIBLIOTHEQUE *pst = nullptr;
        for (const stBIBLIOTHEQUE &st : gtabBibliotheques)
            if (sSoname == st.pszSoname)
                pst = &st;
        if (!pst) {
            *psErreur = "it needs " + sSoname + ", which this tool cannot map to a Debian package";
            return false;
        }
        tabParSoname[sSoname] = pst;
        tabPaquets.emplace(pst->pszPaquet, "");
    }
    // Version needs: Elf_Verneed and Elf_Vernaux are 16 bytes in both classes.
    if (ElfInfoExe_bTrouveSection(p, n, ".gnu.version_r", &oVer, &nVer)) {
        uint64_t o = 0;
        for (int nFichiers = 0; nFichiers < 64 && o + 16 <= nVer; ++nFichiers) {
            const uint8_t *v = p + oVer + o;
            auto it = tabParSoname.find(sChaine(qwLit(v + 4, 4)));
            uint64_t oAux = o + qwLit(v + 8, 4);
            for (uint64_t nAux = qwLit(v + 2, 2); it != tabParSoname.end() && nAux > 0 && oAux + 16 <= nVer; --nAux) {
                std::string sVersion = sChaine(qwLit(p + oVer + oAux + 8, 4));
                const char *pszPrefixe = it->second->pszPrefixeVersion;
                const std::string sPrefixe = pszPrefixe ? pszPrefixe : "";
                if (pszPrefixe && sVersion.compare(0, sPrefixe.size(), sPrefixe) == 0) {
                    std::string sNombre = sVersion.substr(sPrefixe.size());
                    if (sPrefixe == "GLIBCXX_3.4.")
                        sNombre = sVersionLibstdcxx(sNombre);
                    std::string &sMax = tabPaquets[it->second->pszPaquet];
                    if (!sNombre.empty() && (sMax.empty() || bPlusRecente(sNombre, sMax)))
                        sMax = sNombre;
                }
                uint64_t nSuivant = qwLit(p + oVer + oAux + 12, 4);
                if (nSuivant == 0)
                    break;
                oAux += nSuivant;
            }
            uint64_t nSuivant = qwLit(v + 12, 4);
            if (nSuivant == 0)
                break;
            o += nSuivant;
        }
    }
    for (const auto &paire : tabPaquets)
        ptab->push_back(paire.first + (paire.second.empty() ? "" : " (>= " + paire.second + ")"));
    return true;
}

std::string sTexteControl(const stPAQUETDEB &st, uint64_t nTailleInstalleeKo)
{
    std::string sDepends;
    for (const std::string &s : st.tabDepends)
        sDepends += (sDepends.empty() ? "" : ", ") + s;
    std::string sSynopsis = st.sDescription.substr(0, st.sDescription.find('\n'));
    return "Package: " + st.sNom + "\nVersion: " + st.sVersion + "\nArchitecture: " + st.sArchitecture +
           "\nMaintainer: " + st.sMaintainer + "\nInstalled-Size: " + std::to_string(nTailleInstalleeKo) +
           "\nDepends: " + sDepends + "\nSection: misc\nPriority: optional\nDescription: " + sSynopsis +
           "\n " + st.sNom + " is an application of the TORQEN environment, run by the tqexe launcher" +
           (st.bService ? "\n as the systemd service " + st.sNom + ".service." : ".") + "\n";
}

std::string sTexteTX(const stPAQUETDEB &st)
{
    std::string s = "[FRAMEWORK]\nVMPATH=" + st.sCheminMoteur + "\n";
    if (st.bService) {
        s += "\n[SERVICE]\n";
        s += st.sUtilisateur.empty() ? ";USER=nobody\n" : "USER=" + st.sUtilisateur + "\n";
        if (!st.sRepertoire.empty())
            s += "DIRECTORY=" + st.sRepertoire + "\n";
        s += ";CORE=1\n";
    }
    return s;
}

std::string sTexteUnite(const stPAQUETDEB &st)
{
    // Only what the daemon writes is writable: its pid file in /run, the directory it
    // hands to its user and its data directory.
    std::string sEcriture = "/run";
    if (!st.sRepertoire.empty())
        sEcriture += " " + st.sRepertoire;
    if (!st.sRepDonnees.empty() && st.sRepDonnees != st.sRepertoire)
        sEcriture += " -" + st.sRepDonnees; // may not exist: not an error
    // An i386 program on a 64-bit kernel makes x86 system calls: allow exactly its ABI.
    const char *pszAbi = st.sArchitecture == "i386" ? "x86" : "native";
    std::string sCapacites =
        st.sUtilisateur.empty()
            ? "# No identity change: no capability is needed.\nCapabilityBoundingSet=\n"
            : "# Capabilities kept for the change to USER= of the .TX, none left after it:\n"
              "#   CAP_SETUID, CAP_SETGID  take the user's ids and groups for good;\n"
              "#   CAP_CHOWN               hand the pid file and DIRECTORY= to the user;\n"
              "#   CAP_DAC_OVERRIDE        reopen a pid file left to the user by its last run, and\n"
              "#                           walk a DIRECTORY= whose subdirectories only the user may read;\n"
              "#   CAP_FOWNER              give the owner rwx on such a directory once it is the user's.\n"
              "CapabilityBoundingSet=CAP_SETUID CAP_SETGID CAP_CHOWN CAP_DAC_OVERRIDE CAP_FOWNER\n";
    std::string sSynopsis = st.sDescription.substr(0, st.sDescription.find('\n'));
    return "# " + st.sNom + ": the application run by the launcher in service mode, started as\n"
           "# root so that it can take the service user of " + st.sNom + ".TX. systemd starts it as a\n"
           "# child of process 1, so it does not fork; it says when it is ready (and why a\n"
           "# start failed) on $NOTIFY_SOCKET. SIGTERM stops it; it removes /run/" + st.sNom + ".pid\n"
           "# on its way out. Change settings with 'systemctl edit " + st.sNom + "'.\n"
           "[Unit]\nDescription=" + sSynopsis + "\nAfter=network.target\n\n"
           "[Service]\nType=notify\nExecStart=/usr/bin/" + st.sNom + " --SERVICE " + st.sNom +
           "\nPIDFile=/run/" + st.sNom + ".pid\nTimeoutStartSec=30s\nTimeoutStopSec=30s\n"
           "Restart=on-failure\nRestartSec=2s\n"
           "# 255 is a refused start (no engine, unknown user, another instance): trying again\n"
           "# cannot help, so the start fails at once instead of looping.\n"
           "RestartPreventExitStatus=255\n\n" +
           sCapacites +
           "NoNewPrivileges=yes\nProtectSystem=strict\n"
           "ReadWritePaths=" + sEcriture + "\nProtectHome=read-only\nPrivateTmp=yes\nPrivateDevices=yes\n"
           "PrivateMounts=yes\nProtectKernelTunables=yes\nProtectKernelModules=yes\nProtectKernelLogs=yes\n"
           "ProtectControlGroups=yes\nProtectClock=yes\nProtectHostname=yes\nProtectProc=invisible\n"
           "# AF_UNIX for the system log and $NOTIFY_SOCKET; the Internet ones for applications\n"
           "# that serve.\n"
           "RestrictAddressFamilies=AF_UNIX AF_INET AF_INET6\nRestrictNamespaces=yes\nRestrictRealtime=yes\n"
           "RestrictSUIDSGID=yes\nLockPersonality=yes\nMemoryDenyWriteExecute=yes\n"
           "SystemCallArchitectures=" + pszAbi +
           "\nSystemCallFilter=@system-service\nSystemCallErrorNumber=EPERM\nKeyringMode=private\nUMask=0077\n\n"
           "[Install]\nWantedBy=multi-user.target\n";
}

// The maintainer scripts debhelper generates for an enabled, started unit: on
// installs the unit is enabled and started (restarted on upgrades), on removal
// stopped, on purge forgotten. Nothing is started when dpkg works on another root.
std::string sScriptPostinst(const stPAQUETDEB &st)
{
    const std::string u = "'" + st.sNom + ".service'";
    return "#!/bin/sh\nset -e\n"
           "if [ \"$1\" = \"configure\" ] || [ \"$1\" = \"abort-upgrade\" ] || [ \"$1\" = \"abort-deconfigure\" ] || "
           "[ \"$1\" = \"abort-remove\" ] ; then\n"
           "\t# This will only remove masks created by d-s-h on package removal.\n"
           "\tdeb-systemd-helper unmask " + u + " >/dev/null || true\n"
           "\t# was-enabled defaults to true, so new installations run enable.\n"
           "\tif deb-systemd-helper --quiet was-enabled " + u + "; then\n"
           "\t\tdeb-systemd-helper enable " + u + " >/dev/null || true\n"
           "\telse\n"
           "\t\tdeb-systemd-helper update-state " + u + " >/dev/null || true\n"
           "\tfi\n"
           "\tif [ -z \"${DPKG_ROOT:-}\" ] && [ -d /run/systemd/system ]; then\n"
           "\t\tsystemctl --system daemon-reload >/dev/null || true\n"
           "\t\tif [ -n \"$2\" ]; then\n\t\t\t_dh_action=restart\n\t\telse\n\t\t\t_dh_action=start\n\t\tfi\n"
           "\t\tdeb-systemd-invoke $_dh_action " + u + " >/dev/null || true\n"
           "\tfi\n"
           "fi\n";
}

std::string sScriptPrerm(const stPAQUETDEB &st)
{
    return "#!/bin/sh\nset -e\n"
           "if [ -z \"${DPKG_ROOT:-}\" ] && [ \"$1\" = remove ] && [ -d /run/systemd/system ] ; then\n"
           "\tdeb-systemd-invoke stop '" + st.sNom + ".service' >/dev/null || true\n"
           "fi\n";
}

std::string sScriptPostrm(const stPAQUETDEB &st)
{
    const std::string u = "'" + st.sNom + ".service'";
    return "#!/bin/sh\nset -e\n"
           "if [ \"$1\" = remove ] && [ -d /run/systemd/system ] ; then\n"
           "\tsystemctl --system daemon-reload >/dev/null || true\n"
           "fi\n"
           "if [ -x \"/usr/bin/deb-systemd-helper\" ]; then\n"
           "\tcase \"$1\" in\n"
           "\tremove) deb-systemd-helper mask " + u + " >/dev/null || true ;;\n"
           "\tpurge) deb-systemd-helper purge " + u + " >/dev/null || true\n"
           "\t\tdeb-systemd-helper unmask " + u + " >/dev/null || true ;;\n"
           "\tesac\n"
           "fi\n";
}

std::string sTexteCopyright(const stPAQUETDEB &st, uint64_t qwDate)
{
    time_t t = static_cast<time_t>(qwDate);
    struct tm stTemps;
    gmtime_r(&t, &stTemps);
    return st.sNom + ": the application library and its launcher, packaged with tqpack deb.\n\n"
                     "Copyright " + std::to_string(stTemps.tm_year + 1900) + " " + st.sMaintainer + "\n\n"
                     "The application is distributed under the terms its authors set; the launcher\n"
                     "under those of the tqexe package (/usr/share/doc/tqexe/copyright).\n";
}

std::string sTexteChangelog(const stPAQUETDEB &st, uint64_t qwDate)
{
    time_t t = static_cast<time_t>(qwDate);
    struct tm stTemps;
    gmtime_r(&t, &stTemps);
    char szDate[64];
    strftime(szDate, sizeof(szDate), "%a, %d %b %Y %H:%M:%S +0000", &stTemps);
    return st.sNom + " (" + st.sVersion + ") unstable; urgency=medium\n\n  * Packaged with tqpack deb.\n\n -- " +
           st.sMaintainer + "  " + szDate + "\n";
}
