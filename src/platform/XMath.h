// Arithmetic helpers.
#pragma once

class CXMath {
public:
    // Primality test used to size hash tables: 2 and the odd numbers below 9
    // (1 included) are accepted; larger odd numbers by trial division.
    static int bEstPremier(unsigned long n);
};
