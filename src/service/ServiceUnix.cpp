// Daemon start-up of service mode.
#include "service/ServiceUnix.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "error/accesdllres.h"
#include "launcher/ParametreExecution.h"
#include "launcher/RechercheVM.h"
#include "launcher/TQExe.h"
#include "platform/WinApi.h"
#include "service/Logger.h"
#include "service/Notification.h"
#include "service/StartServer.h"
#include "strings/Tstring.h"

pthread_t hMainThread = 0;

// Message resources of the start-up.
enum {
    eMSG_DEMARRAGE_ECHOUE = 5689,
    eMSG_CORE_REFUSE = 25304,
    eMSG_UTILISATEUR_INCONNU = 25305,
    eMSG_IDENTITE_REFUSEE = 25306,
};

static const char gszForkEchoue[] = "Fork ne marche pas";
static const char gszPidEchoue[] = "Echec de la cr\xE9" "ation du fichier de lock du demon";
static const char gszDejaLance[] = "Service d\xE9j\xE0 lanc\xE9 : le fichier de lock %s est tenu par une autre instance";
static const char gszPidEcriture[] = "Echec de l'\xE9" "criture du fichier de lock %s";
static const char gszRepertoireRefuse[] = "R\xE9pertoire du service refus\xE9 : %s";
static const char gszRepertoireProtege[] =
    "R\xE9pertoire du service refus\xE9 : %s contient %s, qui doit rester \xE0 son propri\xE9taire";
static const char gszNomInvalide[] =
    "Nom de service invalide : <%s> (vide, avec '/' ou trop long).\r\n"
    "Invalid service name: <%s> (empty, holding '/' or too long).";
static const char gszPidRefuse[] = "Fichier de lock %s refus\xE9 : ce n'est pas un fichier ordinaire \xE0 un seul lien";
static const char gszAnnule[] = "D\xE9marrage du service annul\xE9 : signal re\xE7u";
static const char gszDescripteurs[] = "Les sorties standard du demon ne sont pas sur /dev/null";
static const char gszNotificationEchouee[] = "Message %s au gestionnaire de services non transmis : %s";
static const char gszNotificationInvalide[] = "NOTIFY_SOCKET ne nomme pas une socket utilisable : le gestionnaire de "
                                              "services ne sera pas pr\xE9venu";

// The readiness channel: one byte "ready", or "failed" followed by the reason.
static const char gcPret = 'P';
static const char gcEchec = 'E';
// Pid file attempts when another instance replaces the file while this one locks it.
static const int gnEssaisPid = 8;
// Deepest directory level bDonneRepertoire walks (each level holds a descriptor).
static const int gnProfondeurMax = 128;

static volatile sig_atomic_t gbArret = 0;
// The last message logged by the start-up, for the launching process.
static std::string gsDernierMessage;
// Write end of the readiness channel in the daemon; -1 once used or when none.
static int gnCanalPret = -1;
// True when the channel is the launching process's own standard error (no fork):
// it then receives the text of a failure only.
static bool gbCanalTexte = false;
// A failure's cause logged before its message (engine search, system error).
static std::string gsDetail;
// The pid file this process holds.
static char gszCheminPid[TQ_TAILLE_CHEMIN_PID] = "";
static int gnFichierPid = -1;
// The launching process: the group of the daemon it forked, and the signal that
// cancelled the start.
static volatile pid_t gnGroupeDemon = 0;
static volatile pid_t gnEnfantVivant = 0; // 0 once reaped: its pid may be reused
static volatile sig_atomic_t gnSignalAnnulation = 0;
// True in the daemon a fork made: its pid is news to the service manager.
static bool gbFourche = false;

static ILogger *piLogger()
{
    return gpclServiceImp ? gpclServiceImp->pclGetLogger() : nullptr;
}

// Logs a finished text at priority 2, as text; errno is kept for the caller.
static void Journal(const char *pszTexte)
{
    const int nErreur = errno;
    gsDernierMessage = pszTexte;
    gsDetail.clear();
    if (CLogger *pclLogger = dynamic_cast<CLogger *>(piLogger()))
        gsDetail = pclLogger->sDerniereErreur();
    if (gsDetail == gsDernierMessage)
        gsDetail.clear();
    if (ILogger *pi = piLogger())
        pi->AddLog(ePRIORITY_CRITIQUE, "%s", pszTexte);
    errno = nErreur;
}

// Tells the service manager; a message that does not get through is logged, and the
// service goes on without it.
static void Notifie(const std::string &sMessage)
{
    if (Notification_bEnvoie(sMessage))
        return;
    const int nErreur = errno;
    if (ILogger *pi = piLogger())
        pi->AddLog(ePRIORITY_AVERTISSEMENT, gszNotificationEchouee, sMessage.substr(0, sMessage.find('=')).c_str(),
                   strerror(nErreur));
}

// The manager's status line is one line of UTF-8.
static void NotifieEchec(const char *pszRaison, int nErreur)
{
    std::string sStatut = Logger_sTexteJournal(pszRaison);
    std::replace(sStatut.begin(), sStatut.end(), '\n', ' ');
    std::string sMessage = "STATUS=" + sStatut;
    if (nErreur > 0)
        sMessage += "\nERRNO=" + std::to_string(nErreur);
    Notifie(sMessage);
}

static void JournalMessage(unsigned int nId, const char *pszArgument)
{
    const int nErreur = errno;
    CTString clTexte;
    bool bOk = pszArgument ? DLLRES_bFormatMessage(nId, &clTexte, pszArgument) : DLLRES_bLoadString(nId, &clTexte);
    if (!bOk || clTexte.nTaille() == 0)
        clTexte.printf("message %u", nId);
    errno = nErreur;
    Journal(clTexte.pszGet());
}

// Writes the whole buffer; false on any failure (a vanished reader included).
static bool bEnvoie(int nCanal, const char *pData, size_t nTaille)
{
    while (nTaille > 0) {
        ssize_t n = send(nCanal, pData, nTaille, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        pData += n;
        nTaille -= static_cast<size_t>(n);
    }
    return true;
}

static void FermeCanal()
{
    if (gnCanalPret >= 0)
        close(gnCanalPret);
    gnCanalPret = -1;
}

// Tells the launching process that the start failed, and why.
static void SignaleEchec(const std::string &sRaison)
{
    if (gnCanalPret < 0)
        return;
    if (gbCanalTexte) {
        // A standard error whose reader has gone must not end the process.
        const std::string sLigne = sRaison + "\n";
        void (*pfnAncien)(int) = signal(SIGPIPE, SIG_IGN);
        for (size_t nFait = 0; nFait < sLigne.size();) {
            ssize_t n = write(gnCanalPret, sLigne.data() + nFait, sLigne.size() - nFait);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            nFait += static_cast<size_t>(n);
        }
        signal(SIGPIPE, pfnAncien);
    } else if (bEnvoie(gnCanalPret, &gcEchec, 1)) {
        bEnvoie(gnCanalPret, sRaison.data(), sRaison.size());
    }
    FermeCanal();
}

// Removes the pid file this process holds; one that cannot be removed (a service
// user in a directory of root's) is emptied instead, so no stale pid remains.
static void LibereFichierPid()
{
    if (gnFichierPid < 0)
        return;
    if (unlink(gszCheminPid) != 0 && ftruncate(gnFichierPid, 0) != 0) {
        // Nothing more can be done; the lock still dies with the descriptor.
    }
    close(gnFichierPid);
    gnFichierPid = -1;
}

// The service manager first: the launching process may exit as soon as it knows.
static void SignalePret()
{
    Notifie(gbFourche ? "READY=1\nMAINPID=" + std::to_string(getpid()) : std::string("READY=1"));
    if (gnCanalPret < 0)
        return;
    // A text channel (standard error under a process 1) only ever carries a failure.
    if (!gbCanalTexte)
        bEnvoie(gnCanalPret, &gcPret, 1);
    FermeCanal();
}

// Reports the failure last logged (with the errno of the failing call, 0 for none) to
// the service manager and to the launching process.
static void SignaleEchecJournalise(int nErreur)
{
    // Whoever learns of the failure may start again at once: the file goes first.
    LibereFichierPid();
    // The cause, if any, as one more line.
    std::string sRaison = gsDernierMessage;
    if (!gsDetail.empty()) {
        sRaison += '\n';
        for (size_t i = 0; i < gsDetail.size(); ++i) {
            if (gsDetail[i] == '\r' && i + 1 < gsDetail.size() && gsDetail[i + 1] == '\n')
                continue;
            sRaison += gsDetail[i] == '\r' || gsDetail[i] == '\n' ? ' ' : gsDetail[i];
        }
    }
    NotifieEchec(sRaison.c_str(), nErreur);
    SignaleEchec(sRaison);
}

// Logs a failure of the start-up and reports it.
static void EchecDemarrage(const char *pszTexte, int nErreur = 0)
{
    Journal(pszTexte);
    SignaleEchecJournalise(nErreur);
}

static void EchecDemarrageMessage(unsigned int nId, const char *pszArgument)
{
    CTString clTexte;
    bool bOk = pszArgument ? DLLRES_bFormatMessage(nId, &clTexte, pszArgument) : DLLRES_bLoadString(nId, &clTexte);
    if (!bOk || clTexte.nTaille() == 0)
        clTexte.printf("message %u", nId);
    EchecDemarrage(clTexte.pszGet());
}

bool bCheminFichierPid(const char *pszNom, char *pszChemin)
{
    if (!pszNom || !*pszNom || strchr(pszNom, '/'))
        return false;
    int n = snprintf(pszChemin, TQ_TAILLE_CHEMIN_PID, "/var/run/%s.pid", pszNom);
    return n > 0 && n < TQ_TAILLE_CHEMIN_PID;
}

bool bSetEffectiveIDToRealID()
{
    if (setregid(getgid(), getgid()) != 0)
        return false;
    return setreuid(getuid(), getuid()) == 0;
}

bool AllowCoreDump()
{
    struct rlimit64 stLimite;
    stLimite.rlim_cur = RLIM64_INFINITY;
    stLimite.rlim_max = RLIM64_INFINITY;
    if (setrlimit64(RLIMIT_CORE, &stLimite) != 0) {
        JournalMessage(eMSG_CORE_REFUSE, nullptr);
        return false;
    }
    return true;
}

bool bArretDemande()
{
    return gbArret != 0;
}

void TermHandler(int)
{
    // Only async-signal-safe work here: the main thread ends the service itself.
    // Whichever thread the signal lands on, the request counts.
    const int nErreur = errno;
    if (!gbArret) {
        gbArret = 1;
        StopMyService(0);
    }
    errno = nErreur;
}

// The signals that cancel a start from the launching process.
static const int gtabSignauxAnnulation[] = {SIGINT, SIGTERM};

// A signal set of the given signals.
static sigset_t stEnsemble(std::initializer_list<int> tabSignaux)
{
    sigset_t st;
    sigemptyset(&st);
    for (int nSignal : tabSignaux)
        sigaddset(&st, nSignal);
    return st;
}

void SetTermHandler()
{
    hMainThread = pthread_self();
    gbArret = 0;
    struct sigaction stAction;
    memset(&stAction, 0, sizeof(stAction));
    stAction.sa_handler = TermHandler;
    sigemptyset(&stAction.sa_mask);
    stAction.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &stAction, nullptr);
    // A SIGTERM held back during the start-up is handled now.
    const sigset_t stTerm = stEnsemble({SIGTERM});
    pthread_sigmask(SIG_UNBLOCK, &stTerm, nullptr);
}

// SIGTERM no longer stops anything once the service is ending: ignore it.
static void FinTermHandler()
{
    signal(SIGTERM, SIG_IGN);
    hMainThread = 0;
}

// ---------------------------------------------------------------------------
// The service user's directory, walked in-process
// ---------------------------------------------------------------------------

static void DonneEntree(int nRep, const char *pszNom, uid_t nUid, gid_t nGid, int nProfondeur);

// Files whose owner never changes, wherever a link to them sits in the tree.
static std::vector<std::pair<dev_t, ino_t>> gtabProteges;

static bool bProtege(const struct stat &stEtat)
{
    return std::find(gtabProteges.begin(), gtabProteges.end(), std::make_pair(stEtat.st_dev, stEtat.st_ino)) !=
           gtabProteges.end();
}

// Gives an open directory and its content to the user.
static void DonneRepertoireOuvert(int nRep, uid_t nUid, gid_t nGid, int nProfondeur)
{
    if (fchown(nRep, nUid, nGid) != 0) {
        // Not fatal: the user may still be able to use the tree.
    }
    struct stat stEtat;
    if (fstat(nRep, &stEtat) == 0 && (stEtat.st_mode & S_IRWXU) != S_IRWXU)
        fchmod(nRep, (stEtat.st_mode & 07777) | S_IRWXU);
    if (nProfondeur >= gnProfondeurMax)
        return;
    int nLecture = dup(nRep);
    if (nLecture < 0)
        return;
    DIR *pRep = fdopendir(nLecture);
    if (!pRep) {
        close(nLecture);
        return;
    }
    std::vector<std::string> tabNoms;
    while (struct dirent *pEntree = readdir(pRep)) {
        if (strcmp(pEntree->d_name, ".") != 0 && strcmp(pEntree->d_name, "..") != 0)
            tabNoms.push_back(pEntree->d_name);
    }
    closedir(pRep);
    for (const std::string &sNom : tabNoms)
        DonneEntree(nRep, sNom.c_str(), nUid, nGid, nProfondeur + 1);
}

static void DonneEntree(int nRep, const char *pszNom, uid_t nUid, gid_t nGid, int nProfondeur)
{
    struct stat stEtat;
    if (fstatat(nRep, pszNom, &stEtat, AT_SYMLINK_NOFOLLOW) != 0 || bProtege(stEtat))
        return;
    if (S_ISDIR(stEtat.st_mode)) {
        // O_NOFOLLOW: a directory swapped for a link since fstatat is not entered.
        int nSous = openat(nRep, pszNom, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (nSous >= 0) {
            DonneRepertoireOuvert(nSous, nUid, nGid, nProfondeur);
            close(nSous);
        }
        return;
    }
    fchownat(nRep, pszNom, nUid, nGid, AT_SYMLINK_NOFOLLOW);
}

bool bDonneRepertoire(const char *pszRepertoire, uid_t nUid, gid_t nGid)
{
    if (!pszRepertoire || pszRepertoire[0] != '/')
        return false;
    if (pszRepertoire[strspn(pszRepertoire, "/")] == '\0')
        return false; // the root directory
    int nRep = open(pszRepertoire, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (nRep < 0)
        return false;
    DonneRepertoireOuvert(nRep, nUid, nGid, 0);
    close(nRep);
    return true;
}

// A path with its links resolved; for one that does not exist (yet), its deepest
// existing ancestor resolved and the rest as given.
static std::string sCheminReel(const std::string &sChemin)
{
    std::string sReste;
    std::string sDebut = sChemin;
    while (!sDebut.empty()) {
        if (char *pszReel = realpath(sDebut.c_str(), nullptr)) {
            std::string sReel = pszReel;
            free(pszReel);
            return sReel == "/" && !sReste.empty() ? sReste : sReel + sReste;
        }
        size_t nBarre = sDebut.find_last_of('/');
        if (nBarre == std::string::npos || sDebut == "/")
            break;
        sReste = sDebut.substr(nBarre) + sReste;
        sDebut.erase(nBarre);
        if (sDebut.empty())
            sDebut = "/";
    }
    return sChemin;
}

// A path without repeated or trailing '/'.
static std::string sNormalise(const std::string &sChemin)
{
    std::string s;
    for (char c : sChemin)
        if (c != '/' || s.empty() || s.back() != '/')
            s += c;
    if (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

// True when sChemin is sRepertoire or lies below it.
static bool bDansArbre(const std::string &sChemin, const std::string &sRepertoire)
{
    return sRepertoire == "/" || sChemin == sRepertoire || sChemin.compare(0, sRepertoire.size() + 1, sRepertoire + "/") == 0;
}

// What the launcher reads as root at every start: never the service user's. The
// engine is not loaded yet, so every place it may come from counts.
static std::vector<std::string> tabCheminsProteges()
{
    std::vector<std::string> tab;
    char szExecutable[4097] = "";
    if (GetModuleFileName(nullptr, szExecutable, sizeof(szExecutable))) {
        tab.push_back(szExecutable);
        CParametreExecution clParametres;
        clParametres.Initialise(szExecutable);
        tab.push_back(clParametres.pszGetNomPhysiqueComplet());
        std::string sRepExe = szExecutable;
        sRepExe.erase(sRepExe.find_last_of('/') + 1);
        tab.push_back(sRepExe + TQ_NOM_VM_STANDARD);
        char szCheminVM[261] = "";
        clParametres.nLitChaineSection("FRAMEWORK", "VMPATH", "", szCheminVM, sizeof(szCheminVM));
        if (szCheminVM[0])
            tab.push_back(szCheminVM[0] == '/' ? std::string(szCheminVM) : sRepExe + szCheminVM);
    }
    tab.push_back(RechercheVM_pszRacineCommune());
    tab.push_back("/var/run");
    return tab;
}

// Hands the service directory over unless it holds, or is above, anything in
// tabCheminsProteges(): as written and with links resolved, since the owner of a
// directory on the way can replace a link in it.
static void DonneRepertoireService(const char *pszRepertoire, uid_t nUid, gid_t nGid)
{
    const std::string tabRepertoire[2] = {sNormalise(pszRepertoire), sCheminReel(pszRepertoire)};
    gtabProteges.clear();
    for (const std::string &sProtege : tabCheminsProteges()) {
        const std::string tabProtege[2] = {sNormalise(sProtege), sCheminReel(sProtege)};
        struct stat stEtat;
        if (stat(tabProtege[1].c_str(), &stEtat) == 0)
            gtabProteges.emplace_back(stEtat.st_dev, stEtat.st_ino);
        bool bDedans = false;
        for (const std::string &sRep : tabRepertoire)
            for (const std::string &sChemin : tabProtege)
                bDedans = bDedans || bDansArbre(sChemin, sRep);
        if (pszRepertoire[0] == '/' && bDedans) {
            CTString clTexte;
            clTexte.printf(gszRepertoireProtege, pszRepertoire, sProtege.c_str());
            Journal(clTexte.pszGet());
            gtabProteges.clear();
            return;
        }
    }
    if (!bDonneRepertoire(pszRepertoire, nUid, nGid)) {
        CTString clTexte;
        clTexte.printf(gszRepertoireRefuse, pszRepertoire);
        Journal(clTexte.pszGet());
    }
    gtabProteges.clear();
}

bool bChangeUser(int nFichier, const char *pszUtilisateur, int bPermanent)
{
    struct passwd stCompte;
    struct passwd *pstCompte = nullptr;
    std::vector<char> tabTampon(16384);
    if (!pszUtilisateur || getpwnam_r(pszUtilisateur, &stCompte, tabTampon.data(), tabTampon.size(), &pstCompte) != 0 ||
        !pstCompte) {
        errno = 0;
        JournalMessage(eMSG_UTILISATEUR_INCONNU, pszUtilisateur ? pszUtilisateur : "");
        return false;
    }
    const uid_t nUid = pstCompte->pw_uid;
    const gid_t nGid = pstCompte->pw_gid;
    if (nFichier >= 0 && fchown(nFichier, nUid, nGid) != 0) {
        // A pid file left to root is still removed or emptied at the end.
    }
    char szRepertoire[TQ_TAILLE_REPERTOIRE_SERVICE] = "";
    if ((geteuid() == 0 || getuid() == 0) && gpclServiceImp && gpclServiceImp->vbGetOwnDirectory(szRepertoire) &&
        szRepertoire[0]) {
        szRepertoire[sizeof(szRepertoire) - 1] = '\0';
        DonneRepertoireService(szRepertoire, nUid, nGid);
    }
    bool bOk;
    if (bPermanent) {
        // Groups before user: once the user id is dropped, groups can no longer change.
        bOk = (geteuid() != 0 || initgroups(pszUtilisateur, nGid) == 0) && setregid(nGid, nGid) == 0 &&
              setreuid(nUid, nUid) == 0;
        // A drop that can be undone is no drop.
        if (bOk && nUid != 0 && (setreuid(static_cast<uid_t>(-1), 0) == 0 || setuid(0) == 0))
            bOk = false;
    } else {
        bOk = setegid(nGid) == 0 && seteuid(nUid) == 0;
    }
    if (!bOk) {
        JournalMessage(eMSG_IDENTITE_REFUSEE, pszUtilisateur);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Start-up steps
// ---------------------------------------------------------------------------

// Moves a descriptor above the standard ones, keeping close-on-exec.
static int nAuDessusDesStandards(int nFd)
{
    if (nFd > STDERR_FILENO)
        return nFd;
    int nNouveau = fcntl(nFd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    close(nFd);
    return nNouveau;
}

static void FermeDescripteurs(int nGarde)
{
    const unsigned int nMax = ~0u;
    int nResultat;
    if (nGarde < 0) {
        nResultat = close_range(0, nMax, 0);
    } else {
        nResultat = close_range(0, static_cast<unsigned int>(nGarde) - 1, 0);
        if (nResultat == 0)
            nResultat = close_range(static_cast<unsigned int>(nGarde) + 1, nMax, 0);
    }
    if (nResultat == 0)
        return;
    // Kernels without close_range: every descriptor up to the process limit.
    long nLimite = sysconf(_SC_OPEN_MAX);
    if (nLimite < 0 || nLimite > INT_MAX)
        nLimite = 1024;
    for (int nFd = static_cast<int>(nLimite) - 1; nFd >= 0; --nFd)
        if (nFd != nGarde)
            close(nFd);
}

static bool bStandardsSurDevNull()
{
    struct stat stNull;
    if (stat("/dev/null", &stNull) != 0)
        return false;
    for (int nFd = STDIN_FILENO; nFd <= STDERR_FILENO; ++nFd) {
        struct stat stFd;
        if (fstat(nFd, &stFd) != 0 || !S_ISCHR(stFd.st_mode) || stFd.st_rdev != stNull.st_rdev)
            return false;
    }
    return true;
}

// Descriptors, file creation mask and working directory of a daemon.
static bool bPrepareProcessus()
{
    FermeDescripteurs(gnCanalPret);
    int nNull = open("/dev/null", O_RDWR);
    if (nNull >= 0) {
        for (int nFd = STDIN_FILENO; nFd <= STDERR_FILENO; ++nFd)
            if (nFd != nNull)
                dup2(nNull, nFd);
        if (nNull > STDERR_FILENO)
            close(nNull);
    }
    umask(022);
    if (chdir("/tmp/") != 0 && chdir("/") != 0) {
        // Nowhere to go: the working directory stays; nothing relies on it.
    }
    return bStandardsSurDevNull();
}

// Opens, locks and writes the pid file into gnFichierPid. False on failure (after
// logging and reporting it).
static bool bPrendFichierPid(const char *pszChemin)
{
    snprintf(gszCheminPid, sizeof(gszCheminPid), "%s", pszChemin);
    for (int nEssai = 0; nEssai < gnEssaisPid; ++nEssai) {
        // Never through a link, never blocking on a FIFO or a device planted there.
        int nFd = open(pszChemin, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK, 0644);
        if (nFd < 0) {
            const int nErreur = errno;
            if (CLogger *pclLogger = dynamic_cast<CLogger *>(piLogger()))
                pclLogger->AddLogSystemError("%s", pszChemin);
            EchecDemarrage(gszPidEchoue, nErreur);
            return false;
        }
        struct stat stFd, stChemin;
        if (fstat(nFd, &stFd) != 0 || !S_ISREG(stFd.st_mode) || stFd.st_nlink > 1) {
            // A hard link would have its target overwritten; a device or a FIFO is
            // not a pid file. Not ours: left where it is.
            close(nFd);
            CTString clTexte;
            clTexte.printf(gszPidRefuse, pszChemin);
            EchecDemarrage(clTexte.pszGet(), EPERM);
            return false;
        }
        if (lockf(nFd, F_TLOCK, 0) != 0) {
            const int nErreur = errno;
            close(nFd); // never removed: it belongs to the instance that holds it
            CTString clTexte;
            clTexte.printf(gszDejaLance, pszChemin);
            EchecDemarrage(clTexte.pszGet(), nErreur);
            return false;
        }
        // The instance that held the file may have removed it between our open and
        // our lock: a lock on a file no longer at the path protects nothing.
        if (fstat(nFd, &stFd) != 0 || lstat(pszChemin, &stChemin) != 0 || stFd.st_dev != stChemin.st_dev ||
            stFd.st_ino != stChemin.st_ino || stFd.st_nlink != 1) {
            close(nFd);
            continue;
        }
        gnFichierPid = nFd;
        char szPid[12];
        int nLongueur = snprintf(szPid, sizeof(szPid), "%d\n", static_cast<int>(getpid()));
        if (ftruncate(nFd, 0) != 0 || pwrite(nFd, szPid, static_cast<size_t>(nLongueur), 0) != nLongueur) {
            const int nErreur = errno;
            if (CLogger *pclLogger = dynamic_cast<CLogger *>(piLogger()))
                pclLogger->AddLogSystemError("%s", pszChemin);
            CTString clTexte;
            clTexte.printf(gszPidEcriture, pszChemin);
            EchecDemarrage(clTexte.pszGet(), nErreur);
            return false;
        }
        return true;
    }
    EchecDemarrage(gszPidEchoue);
    return false;
}

// The launching process: waits for the daemon's verdict.
static int nAttendDemon(int nCanal, pid_t nEnfant)
{
    std::string sReponse;
    char szTampon[512];
    for (;;) {
        ssize_t n = read(nCanal, szTampon, sizeof(szTampon));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        sReponse.append(szTampon, static_cast<size_t>(n));
    }
    close(nCanal);
    // Held while the child is reaped, so that no signal is sent to a reused pid.
    const sigset_t stAnnulation = stEnsemble({SIGINT, SIGTERM});
    sigset_t stMasque;
    sigprocmask(SIG_BLOCK, &stAnnulation, &stMasque);
    int nStatut;
    while (waitpid(nEnfant, &nStatut, 0) < 0 && errno == EINTR) {
    }
    gnEnfantVivant = 0;
    sigprocmask(SIG_SETMASK, &stMasque, nullptr);
    const bool bPret = !sReponse.empty() && sReponse[0] == gcPret;
    if (bPret && !gnSignalAnnulation)
        return 0;
    if (!bPret && sReponse.size() > 1) {
        fwrite(sReponse.data() + 1, 1, sReponse.size() - 1, stderr);
        fputc('\n', stderr);
    } else if (gnSignalAnnulation) {
        // The daemon was told to stop: the start did not happen.
        fprintf(stderr, "%s\n", gszAnnule);
    }
    return -1;
}

static void IgnoreSIGHUP()
{
    struct sigaction stAction;
    memset(&stAction, 0, sizeof(stAction));
    stAction.sa_handler = SIG_IGN;
    sigemptyset(&stAction.sa_mask);
    sigaction(SIGHUP, &stAction, nullptr);
}

// The launching process, until the verdict: an interrupted start becomes a stop of
// the daemon. kill() is async-signal-safe; the group exists once the child has
// called setsid, before that the child itself holds the signal blocked.
static void TransmetAnnulation(int nSignal)
{
    const int nErreur = errno;
    gnSignalAnnulation = nSignal;
    const pid_t nGroupe = gnGroupeDemon, nEnfant = gnEnfantVivant;
    if (nGroupe > 0 && kill(-nGroupe, SIGTERM) != 0 && nEnfant > 0)
        kill(nEnfant, SIGTERM);
    errno = nErreur;
}

// Forks once; in the parent, answers through *pnStatut. False in the parent and on
// failure, true in the child. SIGTERM stays blocked in the child until the daemon
// can handle it.
static bool bDetache(int *pnStatut)
{
    int tabCanal[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, tabCanal) != 0) {
        EchecDemarrage(gszForkEchoue, errno);
        fprintf(stderr, "%s\n", gszForkEchoue);
        *pnStatut = -1;
        return false;
    }
    tabCanal[0] = nAuDessusDesStandards(tabCanal[0]);
    tabCanal[1] = nAuDessusDesStandards(tabCanal[1]);
    // Blocked across the fork, so that no signal finds the handler in the child.
    const sigset_t stAnnulation = stEnsemble({SIGINT, SIGTERM});
    sigset_t stMasque;
    sigprocmask(SIG_BLOCK, &stAnnulation, &stMasque);
    struct sigaction tabAnciennes[2];
    for (int i = 0; i < 2; ++i) {
        sigaction(gtabSignauxAnnulation[i], nullptr, &tabAnciennes[i]);
        if (tabAnciennes[i].sa_handler == SIG_IGN)
            continue; // a launch that ignores the signal is not cancelled by it
        struct sigaction stAction;
        memset(&stAction, 0, sizeof(stAction));
        stAction.sa_handler = TransmetAnnulation;
        sigemptyset(&stAction.sa_mask);
        sigaction(gtabSignauxAnnulation[i], &stAction, nullptr);
    }
    fflush(nullptr);
    pid_t nEnfant = fork();
    const int nErreurFork = errno;
    if (nEnfant != 0) {
        if (nEnfant > 0) {
            close(tabCanal[1]);
            gnGroupeDemon = nEnfant;
            gnEnfantVivant = nEnfant;
        }
        sigset_t stSansAnnulation = stMasque;
        for (int nSignal : gtabSignauxAnnulation)
            sigdelset(&stSansAnnulation, nSignal);
        sigprocmask(SIG_SETMASK, &stSansAnnulation, nullptr);
        if (nEnfant > 0) {
            *pnStatut = nAttendDemon(tabCanal[0], nEnfant);
        } else {
            errno = nErreurFork;
            EchecDemarrage(gszForkEchoue, errno);
            fprintf(stderr, "%s\n", gszForkEchoue);
            close(tabCanal[0]);
            close(tabCanal[1]);
            *pnStatut = -1;
        }
        gnGroupeDemon = 0;
        for (int i = 0; i < 2; ++i)
            sigaction(gtabSignauxAnnulation[i], &tabAnciennes[i], nullptr);
        sigprocmask(SIG_SETMASK, &stMasque, nullptr);
        return false;
    }
    for (int i = 0; i < 2; ++i)
        sigaction(gtabSignauxAnnulation[i], &tabAnciennes[i], nullptr);
    close(tabCanal[0]);
    gnCanalPret = tabCanal[1];
    gbFourche = true;
    if (gnCanalPret < 0)
        _exit(255);
    setsid();
    IgnoreSIGHUP();
    // The second fork: the daemon is no session leader and never gets a terminal.
    fflush(nullptr);
    pid_t nDemon = fork();
    if (nDemon < 0) {
        EchecDemarrage(gszForkEchoue, errno);
        _exit(255);
    }
    if (nDemon > 0) {
        // A cancellation sent to this process alone (before setsid) is for the daemon;
        // one sent later went to the whole group.
        sigset_t stEnAttente;
        if (sigpending(&stEnAttente) == 0 && (sigismember(&stEnAttente, SIGTERM) || sigismember(&stEnAttente, SIGINT)))
            kill(nDemon, SIGTERM);
        _exit(0);
    }
    // Only SIGTERM waits for its handler; SIGINT is as the launcher found it.
    sigaddset(&stMasque, SIGTERM);
    sigprocmask(SIG_SETMASK, &stMasque, nullptr);
    return true;
}

// Ends a start stopped before it was ready: nothing was started, the manager and
// the launching process are told.
static int nAnnule()
{
    FinTermHandler();
    Journal(gszAnnule);
    LibereFichierPid();
    Notifie("STOPPING=1");
    SignaleEchec(gszAnnule);
    return 0;
}

// True when standard error is the journal stream the service manager names in
// JOURNAL_STREAM ("device:inode").
static bool bErreurVersJournal()
{
    const char *psz = getenv("JOURNAL_STREAM");
    unsigned long long nDev = 0, nIno = 0;
    char cFin = 0;
    struct stat st;
    return psz && sscanf(psz, "%llu:%llu%c", &nDev, &nIno, &cFin) == 2 && fstat(STDERR_FILENO, &st) == 0 &&
           static_cast<unsigned long long>(st.st_dev) == nDev && static_cast<unsigned long long>(st.st_ino) == nIno;
}

int ServiceMain(const char *pszNom)
{
    char szCheminPid[TQ_TAILLE_CHEMIN_PID];
    if (!bCheminFichierPid(pszNom, szCheminPid)) {
        CTString clTexte;
        clTexte.printf(gszNomInvalide, pszNom ? pszNom : "", pszNom ? pszNom : "");
        fprintf(stderr, "%s\n", clTexte.pszGet());
        return -1;
    }
    // Taken before the fork: both processes may have something to tell.
    const bool bNotificationNommee = getenv("NOTIFY_SOCKET") != nullptr;
    if (!Notification_bPrend() && bNotificationNommee)
        if (ILogger *pi = piLogger())
            pi->AddLog(ePRIORITY_AVERTISSEMENT, "%s", gszNotificationInvalide);
    // Under init (or as the first process of a PID namespace) nobody waits for a
    // parent to exit: run in place.
    if (getppid() != 1 && getpid() != 1) {
        int nStatut = 0;
        if (!bDetache(&nStatut))
            return nStatut;
    } else {
        // A stop asked during the start waits for the handler instead of killing a
        // half-started daemon.
        const sigset_t stTerm = stEnsemble({SIGTERM});
        sigprocmask(SIG_BLOCK, &stTerm, nullptr);
        IgnoreSIGHUP();
        // The launching process is this one: a failure is told on its standard
        // error, kept above the descriptors the daemon uses; unless that is the
        // service manager's journal, which has the line from the system log
        // already (and would get it twice, in the code page's bytes).
        if (!bErreurVersJournal()) {
            gnCanalPret = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 10);
            gbCanalTexte = gnCanalPret >= 0;
        }
    }
    if (!bPrepareProcessus()) {
        EchecDemarrage(gszDescripteurs);
        return -1;
    }
    gbService = 1;

    const bool bCore = gpclServiceImp->vbWithCoreDump();
    if (bCore)
        AllowCoreDump();
    char szUtilisateur[TQ_TAILLE_UTILISATEUR_SERVICE] = "";
    bool bUtilisateur = gpclServiceImp->vbGetServiceUser(szUtilisateur);
    szUtilisateur[sizeof(szUtilisateur) - 1] = '\0';

    // The lock comes first: a second instance must start nothing.
    if (!bPrendFichierPid(szCheminPid))
        return -1;
    // The application never runs with root's ids when a service user is given.
    if (bUtilisateur) {
        if (!bChangeUser(gnFichierPid, szUtilisateur, 1)) {
            SignaleEchecJournalise(errno);
            return -1;
        }
        if (bCore) {
            // Changing ids made the process undumpable.
            prctl(PR_SET_DUMPABLE, 1, 0, 0, 0);
            AllowCoreDump();
        }
    }

    SetTermHandler();
    // A SIGTERM held while the daemon started has just been handled.
    if (bArretDemande())
        return nAnnule();
    if (!gpclServiceImp->bStart()) {
        FinTermHandler();
        EchecDemarrageMessage(eMSG_DEMARRAGE_ECHOUE, nullptr);
        return -1;
    }
    SignalePret();
    gpclServiceImp->MainLoop();
    Notifie("STOPPING=1");
    // Whoever asked for the stop, the engine is ended and released here, on the
    // main thread, while the logger it was handed still exists.
    FinTermHandler();
    gpclServiceImp->Stop();
    LibereFichierPid();
    return 0;
}

int RunDebugMode()
{
    if (!gpclServiceImp)
        return 0;
    SetTermHandler();
    if (!gpclServiceImp->bStart()) {
        FinTermHandler();
        JournalMessage(eMSG_DEMARRAGE_ECHOUE, nullptr);
        return 0;
    }
    int nResultat = gpclServiceImp->MainLoop();
    FinTermHandler();
    gpclServiceImp->Stop();
    return nResultat;
}
