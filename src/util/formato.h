#pragma once

#include "valor.h"

#include <QLocale>
#include <QString>

#include <optional>

// The program's display formats: money, whole units, kilos (three decimals) and percentages
// (one decimal); zero shows empty.
inline const QString kFormatoMoneda = QStringLiteral("##,##0.00;-##,##0.00;#");
inline const QString kFormatoUnidades = QStringLiteral("###,##0;-###,##0;#");
inline const QString kFormatoKilos = QStringLiteral("##,##0.000;-##,##0.000;#");
inline const QString kFormatoPorcentaje = QStringLiteral("0.0;-0.0;#");

// The user's number format: the system locale, or Spanish where the system has none ("C").
QLocale LocalNumeros();
// Tests and the controls' hosts may fix the locale used for numbers.
void FijarLocalNumeros(const QLocale& local);

// Formats a value with an old-style format string: numeric sections "pos;neg;zero"
// ("##,##0.00;-##,##0.00;#", "000000", "0000000;;#"), "Yes/No", and dates
// ("dd/mm/yyyy", "dd/mm/yy  hh:nn"). Grouping and decimal marks follow LocalNumeros().
QString Formato(const Valor& valor, const QString& formato);
QString Formato(double numero, const QString& formato);

// Reads a number typed in the user's format ("2,5" is 2.5 in Spanish); grouping marks
// are accepted. Empty or malformed text gives no value.
std::optional<double> LeerNumero(const QString& texto);
bool EsNumerico(const QString& texto);

// Decodes text read from files written on the shop's old PCs: UTF-8 when the bytes are
// valid UTF-8, otherwise Windows-1252.
QString DecodificarTexto8Bits(const QByteArray& bytes);
QByteArray CodificarWindows1252(const QString& texto);
