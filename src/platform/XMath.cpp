// Arithmetic helpers.
#include "platform/XMath.h"

int CXMath::bEstPremier(unsigned long n)
{
    if (n == 2)
        return 1;
    if (n % 2 == 0)
        return 0;
    if (n < 9)
        return 1;
    for (unsigned long nDiv = 3;; nDiv += 2) {
        if (n % nDiv == 0)
            return 0;
        if (n / nDiv < nDiv)
            return 1;
    }
}
