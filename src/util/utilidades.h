#pragma once

#include "valor.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// Small text, value and arithmetic operations shared by the whole program.

// Replaces every occurrence of `buscar` in `texto` (in place).
void Reemplazar(const QString& buscar, const QString& poner, QString& texto);

QString EnteroATexto(qint16 valor);
QString LargoATexto(qint32 valor);

// A date literal for SQL comparisons: 'YYYY-MM-DD' (with ' HH:MM:SS' when a time is given).
QString FechaASQL(const QDate& fecha);
QString FechaASQL(const QDateTime& fecha);

// Decimal text padded on the left with "0" to `ancho`; a negative number keeps its sign first.
QString NumeroConCeros(qint64 numero, int ancho);

// Field values that may be null: null gives 0 or an empty text.
qint16 CampoAEntero(const Valor& v);
qint32 CampoALargo(const Valor& v);
double CampoANumero(const Valor& v);
QString CampoATexto(const Valor& v);

// Truth values in the settings files; BooleanoATexto writes what TextoABooleano reads back.
bool TextoABooleano(const QString& texto);
QString BooleanoATexto(bool valor);

void Incrementar(qint16& contador);
void Decrementar(qint16& contador);

template <typename T>
void AnadirAVector(std::vector<T>& vector, T elemento)
{
    vector.push_back(std::move(elemento));
}

// Appends `elemento` to `lista` with `separador` between, only when both are non-empty.
void AnadirALista(QString& lista, const QString& separador, const QString& elemento);

// The part before the first separator, removed from `texto` along with the separator.
// With no separator left the whole text is returned and `texto` becomes empty.
QString ExtraerToken(QString& texto, const QString& separador);

QString UnirRuta(const QString& carpeta, const QString& archivo);

// A Spanish tax number (a person's DNI, a foreigner's NIE, a company's CIF, or the K, L and M
// numbers) whose control character is right, written in capitals without blanks, dots or
// hyphens; no value when it is not one.
std::optional<QString> NIFValido(const QString& texto);

// Key filter for numeric boxes: digits, control keys (below 32) and `permitidos` pass;
// any other printable key becomes 0.
void FiltrarTecla(int& tecla, const QString& permitidos = {});

// The leading number of a text, 0 when there is none ("3x" is 3, "abc" is 0). Leading blanks
// are skipped; the decimal separator is always ".".
double Val(const QString& texto);

// Rounds to a 16-bit integer, saturating instead of wrapping.
qint16 AEntero16(double valor);
qint32 ALargo32(double valor);

// To the cent, half up on the amount as written (22,425 gives 22,43), for negative values too.
double Redondear2(double valor);

// Amount of a line in euros: price in cents per kilogram (Cada 0, quantity in grams),
// per 100 g (Cada 1) or per unit (Cada 2). Any other unit code gives 0.
double ImporteLinea(qint32 precio, qint32 cantidad, qint16 cada);

// One row of a tax breakdown: VAT %, surcharge %, amount. A null key marks a row merged away.
struct FilaBase {
    std::optional<double> clave;
    double recargo = 0;
    double importe = 0;
};

// One row per distinct key with the amounts added, sorted by key. Changes `filas`
// (merged rows lose their key) as the original routine did.
std::vector<FilaBase> AgruparPorClave(std::vector<FilaBase>& filas);
