#pragma once
// Checking that an update was signed with the maker's key. The trusted key is built
// into the program; nothing here takes a key from outside.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

// Pairs of hex digits (either case) to bytes; a pair that is not hex gives 0. Text of
// odd length is refused rather than read past its end.
std::optional<QByteArray> hexADatos(const QString& hex);

// DER length octets of n.
QByteArray derLongitud(uint64_t n);

// A DER INTEGER holding the bytes as an unsigned big-endian number.
QByteArray derEntero(const QByteArray& bytes);

// The built-in public key as a PKCS#1 RSAPublicKey in DER.
QByteArray clavePublicaDER();

// Whether firmaHex is an RSASSA-PKCS1-v1_5 SHA-256 signature of the bytes, made with
// the private half of the built-in key.
bool firmaValidaDatos(const QByteArray& mensaje, const QString& firmaHex);

// The same over the UTF-8 text sha (the digest text, not the digest it stands for).
bool firmaValida(const QString& sha, const QString& firmaHex);
