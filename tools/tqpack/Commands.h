// The commands of tqpack, the packaging tool. Each takes the arguments after its own
// name (argv[0] is the command name) and answers the process exit status:
// 0 success, 1 a user error (one line on stderr), 2 bad usage.
#pragma once

int nTqpackStamp(int argc, char **argv);
int nTqpackInspect(int argc, char **argv);
int nTqpackEmbed(int argc, char **argv);
int nTqpackDeb(int argc, char **argv);

// One row of the command table (Main.cpp).
struct stCOMMANDETQPACK {
    const char *pszNom;
    int (*pfnCommande)(int argc, char **argv);
    const char *pszResume;
};
