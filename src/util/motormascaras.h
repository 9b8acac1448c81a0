#pragma once

#include "valor.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

// One value for a mask section: bound to its placeholder, or (without one) to "@" and its
// index in the list as two digits ("@00", "@01", ...).
struct ValorMascara {
    ValorMascara(Valor v) : valor(std::move(v)) {}
    ValorMascara(Valor v, QString marca_) : valor(std::move(v)), marca(std::move(marca_)) {}
    ValorMascara(const char* texto) : valor(texto) {}
    ValorMascara(const QString& texto) : valor(texto) {}

    Valor valor;
    std::optional<QString> marca;
};
using ValoresMascara = std::vector<ValorMascara>;

// What a document needs of the mask print engine, so that documents print without knowing
// printers, PDF files or office templates (the print engine implements it).
class MotorMascaras {
public:
    virtual ~MotorMascaras() = default;
    // False when the mask file cannot be read.
    virtual bool CargaMascaras(const QString& archivo, const QString& prefijo = {}) = 0;
    // Prints one section; `pagina` goes up by one at every page started.
    virtual void Imprimir(qint16 seccion, int& pagina, const ValoresMascara& valores) = 0;
    virtual void ResetContador() = 0;
    // `texto` in the pieces that each fit, whole words where they can, on the line of section
    // `seccion` that prints `marca`, with its font and width limit: printing the section once per
    // piece prints the whole text, wrapped. One piece when the line has no limit.
    virtual QStringList PartirTexto(qint16 seccion, const QString& marca, const QString& texto)
    {
        (void)seccion;
        (void)marca;
        return {texto};
    }
    // The print job's name (the spooler's list, a PDF printer's file name); call before printing.
    virtual void TituloTrabajo(const QString& titulo) { (void)titulo; }
    virtual void Cerrar() = 0;
    // Called before every page break; setting `cancelar` keeps the page.
    virtual void AlSaltoPagina(std::function<void(bool& cancelar)> manejador) = 0;
};
