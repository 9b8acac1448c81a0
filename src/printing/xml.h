#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <memory>
#include <vector>

// A small XML tree that writes back what it read: qualified names and namespace declarations
// as they were, every text node (spaces included), comments and instructions verbatim.
// Office parts must survive an edit unchanged except where the edit touched them.
struct NodoXml {
    enum class Tipo { Elemento, Texto, Otro };

    Tipo tipo = Tipo::Elemento;
    QString nombre;                              // qualified name, "table:table-cell"
    QList<QPair<QString, QString>> atributos;    // in document order
    QString texto;                               // text, or raw markup for Otro
    std::vector<std::unique_ptr<NodoXml>> hijos;
    NodoXml* padre = nullptr;

    QString Atributo(const QString& nombreAtributo) const;
    bool TieneAtributo(const QString& nombreAtributo) const;
    void FijarAtributo(const QString& nombreAtributo, const QString& valor);
    void QuitarAtributo(const QString& nombreAtributo);

    NodoXml* Hijo(const QString& nombreHijo) const;
    std::vector<NodoXml*> Hijos(const QString& nombreHijo) const;
    // Every element below this one (depth first, document order) with that name.
    void Buscar(const QString& nombreBuscado, std::vector<NodoXml*>& encontrados) const;
    int Indice() const;  // position among the parent's children

    NodoXml* InsertarElemento(const QString& nombreNuevo, int posicion = -1);
    NodoXml* InsertarTexto(const QString& contenido, int posicion = -1);
    std::unique_ptr<NodoXml> Copia() const;
    void QuitarHijos();
    // All text below this node.
    QString TextoCompleto() const;
};

class DocumentoXml {
public:
    bool Leer(const QByteArray& bytes, QString* error);
    QByteArray Escribir() const;
    NodoXml* Raiz() const;  // the document element
    NodoXml& Documento() { return m_documento; }

private:
    NodoXml m_documento;
};
