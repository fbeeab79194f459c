// systemd's readiness protocol, written in-process: one datagram of "KEY=value"
// lines per state change, sent to the socket named by NOTIFY_SOCKET ('@' for an
// abstract name). Without that variable nothing is ever sent.
#pragma once

#include <string>

// Takes the socket name from NOTIFY_SOCKET and removes the variable, so that the
// application's children do not inherit it. False when none is named or the name is
// unusable (then nothing is sent). Called again, keeps what was taken first.
bool Notification_bPrend();
// True once a socket name was taken.
bool Notification_bActive();
// Sends one datagram; true when there is no socket to tell. On failure, errno says
// why; sending is never retried.
bool Notification_bEnvoie(const std::string &sMessage);
// Forgets the socket (tests).
void Notification_Oublie();
