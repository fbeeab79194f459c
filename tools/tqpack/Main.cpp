// tqpack: writes an application's values into a built launcher and shows what a
// launcher will do.
#include <cstdio>
#include <cstring>

#include "Commands.h"

static const stCOMMANDETQPACK gtabCommandes[] = {
    {"stamp", nTqpackStamp, "copy a launcher and write an application's values into it"},
    {"inspect", nTqpackInspect, "show a launcher's values and the engine search it will make"},
    {"embed", nTqpackEmbed, "copy a launcher and append a file to it as a carried block"},
    {"deb", nTqpackDeb, "build a Debian package of an application, optionally as a service"},
};

static void Usage(FILE *pFlux)
{
    fprintf(pFlux, "usage: tqpack COMMAND [ARGS...]\n\ncommands:\n");
    for (const stCOMMANDETQPACK &stCommande : gtabCommandes)
        fprintf(pFlux, "  %-9s %s\n", stCommande.pszNom, stCommande.pszResume);
    fprintf(pFlux, "\n'tqpack COMMAND --help' describes a command; 'tqpack --version' tells the version.\n");
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        Usage(stderr);
        return 2;
    }
    if (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0 || strcmp(argv[1], "help") == 0) {
        Usage(stdout);
        return 0;
    }
    if (strcmp(argv[1], "--version") == 0) {
        printf("tqpack %s\n", TQ_VERSION);
        return 0;
    }
    for (const stCOMMANDETQPACK &stCommande : gtabCommandes)
        if (strcmp(argv[1], stCommande.pszNom) == 0)
            return stCommande.pfnCommande(argc - 1, argv + 1);
    fprintf(stderr, "tqpack: unknown command '%s'\n", argv[1]);
    Usage(stderr);
    return 2;
}
