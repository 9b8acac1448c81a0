#pragma once

#include "motormascaras.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class BaseDatos;

// One value for a mask placeholder, already formatted as the documents print it.
struct Celda {
    Celda(const QString& texto_) : texto(texto_) {}
    Celda(double numero, const QString& formato);
    Celda(qint32 numero, const QString& formato) : Celda(static_cast<double>(numero), formato) {}
    QString texto;
};

// User texts go into a mask section as one line: a line break would start a mask line of its own.
QString TextoDeUnaLinea(const QString& texto);

// The page head of a document: "@PAG" first, then the document's own values, then "@CODCLI" and
// the customer's record.
ValoresMascara CabeceraImpresion(BaseDatos& bd, std::optional<qint32> cliente,
                                 const std::vector<std::pair<QString, QString>>& propios);

// Prints a document's sections and prints its page head again on every page the engine starts.
class ImpresionDocumento {
public:
    ImpresionDocumento(MotorMascaras& motor, ValoresMascara cabecera);

    // The page head (section 0) with the current page number; the line counter starts again.
    void Cabecera();
    // Section `seccion` with each value bound to the placeholder at the same place in `marcas`.
    void Imprimir(qint16 seccion, const std::vector<Celda>& valores, const QStringList& marcas);
    // Section `seccion` with the page head's values.
    void ImprimirConCabecera(qint16 seccion);
    // A comment under a line: `texto` in `marca`, every other placeholder of `marcas` empty.
    void ImprimirComentario(qint16 seccion, const QStringList& marcas, const QString& marca, const QString& texto);

    int Pagina() const { return m_pagina; }

private:
    void Enviar(qint16 seccion, const ValoresMascara& valores);

    MotorMascaras& m_motor;
    ValoresMascara m_cabecera;
    int m_pagina = 1;
};
