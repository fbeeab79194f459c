// Chained hash table of (key, value) pairs of two pointer-sized values. The
// derived class hashes and compares keys; the base keeps one linked list per
// bucket and resizes itself to a prime number of buckets.
#pragma once

#include <cstdint>

#include "containers/Liste.h"

// One stored pair, the element of every bucket list.
struct _stHASHPAIRE {
    void *pCle;
    void *pValeur;
};
static_assert(sizeof(_stHASHPAIRE) == 2 * sizeof(void *), "key then value");

class CHashBase {
public:
    explicit CHashBase(int bucketCount);
    virtual ~CHashBase();
    CHashBase(const CHashBase &) = delete;
    CHashBase &operator=(const CHashBase &) = delete;

    virtual uint32_t dwCalculeHash(void *key) const = 0;
    // True when the stored key equals the key searched.
    virtual bool bCompareCle(void *storedKey, void *key) const = 0;

    // Mean entries per bucket that make the table grow (AjouteDYN) or shrink
    // (bSupprimeDYN). A growth factor below 1 acts as 1.
    void SetNiveau(int growthFactor, int shrinkFactor);

    // Inserts without the growth check; duplicates are not looked for. False
    // when there is no bucket or memory ran out.
    bool Ajoute(void *key, void *value);
    bool AjouteDYN(void *key, void *value);

    // First entry of the key's bucket, from its front, whose stored key
    // matches; the bucket's cursor is left on it (on the last entry when none
    // matches).
    bool bRecherche(void *key, void **value, void **storedKey);
    // The same without moving any cursor.
    bool bRechercheConst(void *key, void **value, void **storedKey) const;
    bool bSupprime(void *key);
    bool bSupprimeDYN(void *key);

    // Draining step: removes the first entry of the first non-empty bucket
    // from *bucket on (advancing *bucket) and gives its value and key; *value
    // becomes null when nothing is left.
    void SupprimeCourant(int *bucket, void **value, void **key);
    void SupprimeTout();

    // Rehashes every pair into `bucketCount` buckets; returns the new count, or
    // the entry count when nothing changed (count <= 0, the same count, or no
    // memory for the new buckets).
    int RedimensionneTable(int bucketCount);

    // Sum of the bytes taken as signed values (ASCII letters upper-cased for
    // the second); 0 for a null or empty text. Independent of the locale.
    static unsigned long dwHashValT(const char *text);
    static unsigned long dwHashValTi(const char *text);

    int nGetNbListe() const { return m_nNbListe; }
    int nGetNbElement() const { return m_nNbElement; }
    const CListeDeBuffer *pGetListe(int bucket) const
    {
        return bucket >= 0 && bucket < m_nNbListe ? &m_pTabListe[bucket] : nullptr;
    }

    int32_t m_nFacteurAgrandissement;
    int32_t m_nFacteurReduction;
    int32_t m_nNbListe;
    CListeDeBuffer *m_pTabListe;
    int32_t m_nNbElement;

protected:
    void _RedimentionneTablePlus();
    void _RedimentionneTableMoins();
    int _nListe(void *key) const { return static_cast<int>(dwCalculeHash(key) % static_cast<uint32_t>(m_nNbListe)); }
    static CListeDeBuffer *_pAlloueListes(int bucketCount);
    static void _LibereListes(CListeDeBuffer *lists, int bucketCount);
};
