// systemd's readiness protocol.
#include "service/Notification.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>

static const char gszVariable[] = "NOTIFY_SOCKET";

static struct sockaddr_un gstAdresse;
static socklen_t gnLongueurAdresse = 0;

bool Notification_bPrend()
{
    if (gnLongueurAdresse != 0)
        return true;
    const char *pszNom = getenv(gszVariable);
    const std::string sNom = pszNom ? pszNom : "";
    unsetenv(gszVariable);
    memset(&gstAdresse, 0, sizeof(gstAdresse));
    gstAdresse.sun_family = AF_UNIX;
    // An abstract name keeps no terminator; a path keeps room for one.
    const bool bAbstrait = !sNom.empty() && sNom[0] == '@';
    if (sNom.size() < 2 || (sNom[0] != '/' && !bAbstrait) || sNom.size() >= sizeof(gstAdresse.sun_path))
        return false;
    memcpy(gstAdresse.sun_path, sNom.data(), sNom.size());
    if (bAbstrait)
        gstAdresse.sun_path[0] = '\0';
    gnLongueurAdresse = static_cast<socklen_t>(offsetof(struct sockaddr_un, sun_path) + sNom.size() + (bAbstrait ? 0 : 1));
    return true;
}

bool Notification_bActive()
{
    return gnLongueurAdresse != 0;
}

bool Notification_bEnvoie(const std::string &sMessage)
{
    if (gnLongueurAdresse == 0)
        return true;
    // A socket per message: the daemon closes every descriptor while it detaches,
    // and messages are few.
    int nSocket = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (nSocket < 0)
        return false;
    ssize_t n;
    do {
        n = sendto(nSocket, sMessage.data(), sMessage.size(), MSG_NOSIGNAL,
                   reinterpret_cast<const struct sockaddr *>(&gstAdresse), gnLongueurAdresse);
    } while (n < 0 && errno == EINTR);
    const int nErreur = errno;
    close(nSocket);
    errno = nErreur;
    return n == static_cast<ssize_t>(sMessage.size());
}

void Notification_Oublie()
{
    gnLongueurAdresse = 0;
}
