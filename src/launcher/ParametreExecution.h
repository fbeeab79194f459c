// Runtime parameters: the profile file "<executable>.TX" beside the executable, offered
// to the engine through IParametreExecution. The virtual slot order is part of the
// contract with the engine: never reorder or insert.
#pragma once

#include <sys/types.h>

#include <string>

// Version interface shared by the objects handed to the engine.
class IStdVersion {
public:
    virtual int nGetVersion() = 0;
    virtual int nGetCompatSince() = 0;
    virtual int nGetDllNum() = 0;
    virtual void StdVersion_EmptySlot_1() = 0;
    virtual void StdVersion_EmptySlot_2() = 0;
    virtual void StdVersion_EmptySlot_3() = 0;

protected:
    ~IStdVersion() = default;
};

class IParametreExecution : public IStdVersion {
public:
    virtual const char *pszGetNomApplication() = 0;
    virtual const char *pszGetNomPhysiqueComplet() = 0;
    virtual bool bDisponible() = 0;
    virtual int nLitChaine(const char *pszCle, const char *pszDefaut, char *pszSortie, int nTaille) = 0;
    virtual int nLitChaineSection(const char *pszSection, const char *pszCle, const char *pszDefaut, char *pszSortie,
                                  int nTaille) = 0;
    virtual int nLitEntier(const char *pszCle, int nDefaut) = 0;
    virtual int nLitEntierSection(const char *pszSection, const char *pszCle, int nDefaut) = 0;
    virtual const char *pszGetCleCryptage() = 0;
    virtual int nLitChaineML(const char *pszCle1, const char *pszCle2, const char *pszDefaut, char *pszSortie,
                             int nTaille) = 0;
    virtual int nLitChaineSectionML(const char *pszSection1, const char *pszCle1, const char *pszSection2,
                                    const char *pszCle2, const char *pszDefaut, char *pszSortie, int nTaille) = 0;
    virtual int nLitEntierML(const char *pszCle1, const char *pszCle2, int nDefaut) = 0;
    virtual int nLitEntierSectionML(const char *pszSection1, const char *pszCle1, const char *pszSection2,
                                    const char *pszCle2, int nDefaut) = 0;

protected:
    ~IParametreExecution() = default;
};

class CParametreExecution : public IParametreExecution {
public:
    // Read by the "ML" integer reads as "absent".
    static const int knSentinelle = static_cast<int>(0x8F8F8F8Fu);

    CParametreExecution();

    // Fills the parameter file name, the standard and the mapped application names.
    void Initialise(const char *pszExecutable);

    int nGetVersion() override { return 4; }
    int nGetCompatSince() override { return 1; }
    int nGetDllNum() override { return 0; }
    void StdVersion_EmptySlot_1() override {}
    void StdVersion_EmptySlot_2() override {}
    void StdVersion_EmptySlot_3() override {}

    const char *pszGetNomApplication() override { return m_szNomApplication; }
    const char *pszGetNomPhysiqueComplet() override { return m_szNomPhysiqueComplet; }
    bool bDisponible() override;
    int nLitChaine(const char *pszCle, const char *pszDefaut, char *pszSortie, int nTaille) override;
    int nLitChaineSection(const char *pszSection, const char *pszCle, const char *pszDefaut, char *pszSortie,
                          int nTaille) override;
    int nLitEntier(const char *pszCle, int nDefaut) override;
    int nLitEntierSection(const char *pszSection, const char *pszCle, int nDefaut) override;
    const char *pszGetCleCryptage() override { return m_szCleCryptage; }
    int nLitChaineML(const char *pszCle1, const char *pszCle2, const char *pszDefaut, char *pszSortie,
                     int nTaille) override;
    int nLitChaineSectionML(const char *pszSection1, const char *pszCle1, const char *pszSection2, const char *pszCle2,
                            const char *pszDefaut, char *pszSortie, int nTaille) override;
    int nLitEntierML(const char *pszCle1, const char *pszCle2, int nDefaut) override;
    int nLitEntierSectionML(const char *pszSection1, const char *pszCle1, const char *pszSection2,
                            const char *pszCle2, int nDefaut) override;

    virtual const char *pszGetNomStandardApplication() { return m_szNomStandardApplication; }
    virtual bool bEcritChaine(const char *pszCle, const char *pszValeur);
    virtual bool bEcritChaineSection(const char *pszSection, const char *pszCle, const char *pszValeur);
    virtual bool bEcritEntier(const char *pszCle, int nValeur);
    virtual bool bEcritEntierSection(const char *pszSection, const char *pszCle, int nValeur);
    // Declared after every slot so that it does not shift them.
    virtual ~CParametreExecution() = default;

    // The parameter file's text, when it may be read: a regular file of at most 1 MiB
    // (opened without waiting on a FIFO or a lock) and, under root, a trusted one.
    // False when it is absent or refused; a refusal is shown once, with its reason,
    // in *psRaison when given.
    bool bLitTexte(std::string *psTexte, std::string *psRaison = nullptr) const;

    // Largest parameter file read.
    static const long knTailleMax = 1L << 20;

private:
    char m_szNomPhysiqueComplet[261];
    char m_szNomStandardApplication[261];
    char m_szNomApplication[261];
    char m_szCleCryptage[261];
    // Owner of the executable: besides root, the one user whose parameter file is trusted.
    uid_t m_nProprietaire = 0;
};
