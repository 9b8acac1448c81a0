#include "xml.h"

#include <QXmlStreamReader>

namespace {

// Office documents nest a few dozen levels; deeper input is not one of them.
constexpr int kMaxProfundidad = 512;

void EscaparTexto(const QString& s, QString& salida)
{
    for (const QChar c : s) {
        switch (c.unicode()) {
        case '&': salida += QLatin1String("&amp;"); break;
        case '<': salida += QLatin1String("&lt;"); break;
        case '>': salida += QLatin1String("&gt;"); break;
        default: salida += c;
        }
    }
}

void EscaparAtributo(const QString& s, QString& salida)
{
    for (const QChar c : s) {
        switch (c.unicode()) {
        case '&': salida += QLatin1String("&amp;"); break;
        case '<': salida += QLatin1String("&lt;"); break;
        case '"': salida += QLatin1String("&quot;"); break;
        case '\n': salida += QLatin1String("&#10;"); break;
        case '\r': salida += QLatin1String("&#13;"); break;
        case '\t': salida += QLatin1String("&#9;"); break;
        default: salida += c;
        }
    }
}

void Escribir(const NodoXml& n, QString& salida)
{
    switch (n.tipo) {
    case NodoXml::Tipo::Texto: EscaparTexto(n.texto, salida); return;
    case NodoXml::Tipo::Otro: salida += n.texto; return;
    case NodoXml::Tipo::Elemento: break;
    }
    salida += QLatin1Char('<') + n.nombre;
    for (const auto& [clave, valor] : n.atributos) {
        salida += QLatin1Char(' ') + clave + QLatin1String("=\"");
        EscaparAtributo(valor, salida);
        salida += QLatin1Char('"');
    }
    if (n.hijos.empty()) {
        salida += QLatin1String("/>");
        return;
    }
    salida += QLatin1Char('>');
    for (const auto& h : n.hijos)
        Escribir(*h, salida);
    salida += QLatin1String("</") + n.nombre + QLatin1Char('>');
}

} // namespace

QString NodoXml::Atributo(const QString& nombreAtributo) const
{
    for (const auto& a : atributos)
        if (a.first == nombreAtributo)
            return a.second;
    return {};
}

bool NodoXml::TieneAtributo(const QString& nombreAtributo) const
{
    for (const auto& a : atributos)
        if (a.first == nombreAtributo)
            return true;
    return false;
}

void NodoXml::FijarAtributo(const QString& nombreAtributo, const QString& valor)
{
    for (auto& a : atributos) {
        if (a.first == nombreAtributo) {
            a.second = valor;
            return;
        }
    }
    atributos.append({nombreAtributo, valor});
}

void NodoXml::QuitarAtributo(const QString& nombreAtributo)
{
    atributos.removeIf([&](const auto& a) { return a.first == nombreAtributo; });
}

NodoXml* NodoXml::Hijo(const QString& nombreHijo) const
{
    for (const auto& h : hijos)
        if (h->tipo == Tipo::Elemento && h->nombre == nombreHijo)
            return h.get();
    return nullptr;
}

std::vector<NodoXml*> NodoXml::Hijos(const QString& nombreHijo) const
{
    std::vector<NodoXml*> r;
    for (const auto& h : hijos)
        if (h->tipo == Tipo::Elemento && h->nombre == nombreHijo)
            r.push_back(h.get());
    return r;
}

void NodoXml::Buscar(const QString& nombreBuscado, std::vector<NodoXml*>& encontrados) const
{
    for (const auto& h : hijos) {
        if (h->tipo != Tipo::Elemento)
            continue;
        if (h->nombre == nombreBuscado)
            encontrados.push_back(h.get());
        h->Buscar(nombreBuscado, encontrados);
    }
}

int NodoXml::Indice() const
{
    if (!padre)
        return -1;
    for (size_t i = 0; i < padre->hijos.size(); ++i)
        if (padre->hijos[i].get() == this)
            return int(i);
    return -1;
}

NodoXml* NodoXml::InsertarElemento(const QString& nombreNuevo, int posicion)
{
    auto n = std::make_unique<NodoXml>();
    n->nombre = nombreNuevo;
    n->padre = this;
    NodoXml* r = n.get();
    if (posicion < 0 || posicion > int(hijos.size()))
        hijos.push_back(std::move(n));
    else
        hijos.insert(hijos.begin() + posicion, std::move(n));
    return r;
}

NodoXml* NodoXml::InsertarTexto(const QString& contenido, int posicion)
{
    NodoXml* n = InsertarElemento(QString(), posicion);
    n->tipo = Tipo::Texto;
    n->texto = contenido;
    return n;
}

std::unique_ptr<NodoXml> NodoXml::Copia() const
{
    auto c = std::make_unique<NodoXml>();
    c->tipo = tipo;
    c->nombre = nombre;
    c->atributos = atributos;
    c->texto = texto;
    for (const auto& h : hijos) {
        auto ch = h->Copia();
        ch->padre = c.get();
        c->hijos.push_back(std::move(ch));
    }
    return c;
}

void NodoXml::QuitarHijos() { hijos.clear(); }

QString NodoXml::TextoCompleto() const
{
    if (tipo == Tipo::Texto)
        return texto;
    QString r;
    for (const auto& h : hijos)
        r += h->TextoCompleto();
    return r;
}

bool DocumentoXml::Leer(const QByteArray& bytes, QString* error)
{
    m_documento.hijos.clear();
    QXmlStreamReader lector(bytes);
    lector.setNamespaceProcessing(false);
    NodoXml* actual = &m_documento;
    int profundidad = 0;
    while (!lector.atEnd()) {
        switch (lector.readNext()) {
        case QXmlStreamReader::StartElement: {
            if (++profundidad > kMaxProfundidad) {
                *error = QStringLiteral("XML demasiado anidado");
                return false;
            }
            NodoXml* n = actual->InsertarElemento(lector.qualifiedName().toString());
            for (const auto& d : lector.namespaceDeclarations()) {
                const QString prefijo = d.prefix().toString();
                n->atributos.append({prefijo.isEmpty() ? QStringLiteral("xmlns") : QStringLiteral("xmlns:") + prefijo,
                                     d.namespaceUri().toString()});
            }
            for (const auto& a : lector.attributes())
                n->atributos.append({a.qualifiedName().toString(), a.value().toString()});
            actual = n;
            break;
        }
        case QXmlStreamReader::EndElement:
            --profundidad;
            actual = actual->padre;
            break;
        case QXmlStreamReader::Characters:
            if (lector.isCDATA()) {
                NodoXml* n = actual->InsertarTexto(QString());
                n->tipo = NodoXml::Tipo::Otro;
                n->texto = QStringLiteral("<![CDATA[") + lector.text().toString() + QStringLiteral("]]>");
            } else if (actual != &m_documento) {
                actual->InsertarTexto(lector.text().toString());
            }
            break;
        case QXmlStreamReader::Comment: {
            NodoXml* n = actual->InsertarTexto(QString());
            n->tipo = NodoXml::Tipo::Otro;
            n->texto = QStringLiteral("<!--") + lector.text().toString() + QStringLiteral("-->");
            break;
        }
        case QXmlStreamReader::ProcessingInstruction: {
            NodoXml* n = actual->InsertarTexto(QString());
            n->tipo = NodoXml::Tipo::Otro;
            n->texto = QStringLiteral("<?") + lector.processingInstructionTarget().toString() + QLatin1Char(' ')
                + lector.processingInstructionData().toString() + QStringLiteral("?>");
            break;
        }
        default: break;
        }
    }
    if (lector.hasError()) {
        *error = lector.errorString();
        return false;
    }
    if (!Raiz()) {
        *error = QStringLiteral("XML vacío");
        return false;
    }
    return true;
}

NodoXml* DocumentoXml::Raiz() const
{
    for (const auto& h : m_documento.hijos)
        if (h->tipo == NodoXml::Tipo::Elemento)
            return h.get();
    return nullptr;
}

QByteArray DocumentoXml::Escribir() const
{
    QString salida = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n");
    for (const auto& h : m_documento.hijos)
        ::Escribir(*h, salida);
    return salida.toUtf8();
}
