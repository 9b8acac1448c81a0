#include "browcli.h"

#include "global.h"
#include "listado.h"
#include "listafilas.h"
#include "uncliente.h"
#include "ventanas.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace {

const QString kTitulo = QStringLiteral("Clientes");
const QStringList kColumnas{QStringLiteral("Codigo"), QStringLiteral("Nombre"), QStringLiteral("NIF")};

QPointer<BrowCli> g_browcli;

QString Clave(long codigo) { return QString::number(codigo); }

// Upper case without accents, so that "alvarez" finds "ÁLVAREZ".
QString Plegar(const QString& texto)
{
    // Most names are plain ASCII: typing searches every name on each key.
    if (std::all_of(texto.begin(), texto.end(), [](QChar c) { return c.unicode() < 0x80; }))
        return texto.toUpper();
    QString plegado;
    for (const QChar c : texto.normalized(QString::NormalizationForm_D))
        if (c.category() != QChar::Mark_NonSpacing)
            plegado += c.toUpper();
    return plegado;
}

}  // namespace

BrowCli* BrowCli::Instancia() { return g_browcli; }

BrowCli* BrowCli::Abrir()
{
    if (!g_browcli) {
        g_browcli = new BrowCli;
        MostrarVentana(g_browcli);
        if (QWidget* marco = g_browcli->parentWidget(); marco && !marco->isWindow())
            marco->resize(600, 440);
        else
            g_browcli->resize(600, 440);
        RestaurarVentana(g_browcli);
        g_browcli->Refresco(std::nullopt);
        g_browcli->Grd->setFocus();
    } else {
        MostrarVentana(g_browcli);
    }
    return g_browcli;
}

BrowCli::BrowCli()
{
    setObjectName(QStringLiteral("BrowCli"));
    setWindowTitle(kTitulo);
    Navegadores::clientes = this;
    m_paginas.alFallar = [this](const motor::Error&) {
        Mensaje(QStringLiteral("No se ha podido leer la lista de clientes.\nCompruebe la base de datos y vuelva a abrir la lista."),
                QMessageBox::Ok, QMessageBox::Critical);
    };

    auto boton = [this](const char* nombre, const QString& texto, void (BrowCli::*accion)()) {
        auto* b = new QPushButton(texto, this);
        b->setObjectName(QString::fromLatin1(nombre));
        b->setToolTip(texto);
        connect(b, &QPushButton::clicked, this, accion);
        return b;
    };
    Nuevo = boton("Nuevo", QStringLiteral("Nuevo cliente"), &BrowCli::Nuevo_Click);
    Edita = boton("Edita", QStringLiteral("Modificar cliente"), &BrowCli::Edita_Click);
    Borra = boton("Borra", QStringLiteral("Eliminar cliente"), &BrowCli::Borra_Click);
    Imprim = boton("Imprim", QStringLiteral("Listado de clientes"), &BrowCli::Imprim_Click);
    Salir = new QPushButton(QStringLiteral("Cerrar"), this);
    Salir->setObjectName(QStringLiteral("Salir"));
    connect(Salir, &QPushButton::clicked, this, [this] { CerrarVentana(this); });

    Grd = new ListaFilas(this);
    Grd->setObjectName(QStringLiteral("Grd"));
    Grd->setColumnas({QStringLiteral("Código"), QStringLiteral("Nombre"), QStringLiteral("N.I.F.")});
    Grd->Modelo()->setAlineacion(0, Qt::AlignRight);
    Grd->setColWidth(0, 1000);
    Grd->setColWidth(1, 4800);
    Grd->horizontalHeader()->setStretchLastSection(true);
    connect(Grd, &ListaFilas::dobleClic, this, [this] { Edita_Click(); });
    Grd->installEventFilter(this);
    connect(Grd, &ListaFilas::dobleClicTitulo, this, &BrowCli::Grd_DblClickTitulo);
    Grd->setBuscador([this](const QString& texto, int desde) { return Buscar(texto, desde); });

    MnuBase = new QMenu(QStringLiteral("Acciones"), this);
    MnuBase->setObjectName(QStringLiteral("MnuBase"));
    auto entrada = [this](const char* nombre, const QString& texto, void (BrowCli::*accion)()) {
        QAction* a = MnuBase->addAction(texto);
        a->setObjectName(QString::fromLatin1(nombre));
        connect(a, &QAction::triggered, this, accion);
        return a;
    };
    MnEditar = entrada("MnEditar", QStringLiteral("&Editar"), &BrowCli::Edita_Click);
    MnEliminar = entrada("MnEliminar", QStringLiteral("Eli&minar"), &BrowCli::Borra_Click);
    MnAlbaranes = entrada("MnAlbaranes", QStringLiteral("Ver &Albaranes"), &BrowCli::MnAlbaranes_Click);
    MnFacturas = entrada("MnFacturas", QStringLiteral("Ver &Facturas"), &BrowCli::MnFacturas_Click);
    MnuBase->addSeparator();
    MnNuevo = entrada("MnNuevo", QStringLiteral("&Nuevo"), &BrowCli::Nuevo_Click);
    connect(Grd, &ListaFilas::menuPedido, this, [this](int, const QPoint& donde) { MnuBase->popup(donde); });

    auto* botones = new QHBoxLayout;
    for (QPushButton* b : {Nuevo, Edita, Borra, Imprim})
        botones->addWidget(b);
    botones->addStretch();
    botones->addWidget(Salir);
    auto* v = new QVBoxLayout(this);
    v->addLayout(botones);
    v->addWidget(Grd, 1);
}

BrowCli::~BrowCli()
{
    if (Navegadores::clientes == this)
        Navegadores::clientes = nullptr;
}

void BrowCli::Refresco(std::optional<long> codigo)
{
    const int antes = Grd->Row();
    Grd->Cargar(0, {});
    try {
        if (Global::BD) {
            // In the list's order: a page starts after the key of the last row of the one before.
            m_paginas.Empezar(Grd->Modelo(), [orden = m_orden, ultima = std::optional<std::vector<Valor>>()](
                                                 std::vector<FilaCliente>& filas, int limite) mutable {
                if (!Global::BD)
                    return false;
                PaginaLista<FilaCliente, std::vector<Valor>> pagina = Global::BD->PaginaClientes(orden, ultima, limite);
                ultima = std::move(pagina.siguiente);
                filas.insert(filas.end(), std::make_move_iterator(pagina.filas.begin()), std::make_move_iterator(pagina.filas.end()));
                return ultima.has_value();
            });
        } else {
            m_paginas.Parar();
            m_filas.clear();
        }
    } catch (const std::exception&) {
        m_filas.clear();
        Mensaje(QStringLiteral("No se ha podido leer la lista de clientes.\nCompruebe la base de datos y vuelva a abrir la lista."),
                QMessageBox::Ok, QMessageBox::Critical);
        return;
    }
    Grd->Cargar(static_cast<int>(m_filas.size()), [this](int fila, int col) {
        const FilaCliente& f = m_filas[static_cast<size_t>(fila)];
        return (col == 0 ? f.Codigo : col == 1 ? f.nombre : f.NIF).aTexto();
    });

    int fila = 1;
    try {
        if (codigo) {
            // The customer asked for may not have come yet.
            for (size_t i = 0;; ++i) {
                if (i >= m_filas.size()) {
                    if (!m_paginas.Incompleta())
                        break;
                    m_paginas.LeerMas();
                    if (i >= m_filas.size())
                        break;
                }
                if (!m_filas[i].Codigo.esNulo() && m_filas[i].Codigo.aEntero() == *codigo) {
                    fila = static_cast<int>(i) + 1;
                    break;
                }
            }
        } else if (antes > 0) {
            while (m_paginas.Incompleta() && Grd->Rows() <= antes)
                m_paginas.LeerMas();
            fila = antes < Grd->Rows() ? antes : Grd->Rows() - 1;
        }
    } catch (const motor::Error&) {
        Mensaje(QStringLiteral("No se ha podido leer la lista de clientes.\nCompruebe la base de datos y vuelva a abrir la lista."),
                QMessageBox::Ok, QMessageBox::Critical);
    }
    if (Grd->Rows() > 1) {
        Grd->setRow(fila);
        Grd->setCol(0);
    }
}

void BrowCli::Releer()
{
    const auto codigo = CodigoSeleccionado();
    Refresco(codigo ? std::optional<long>(*codigo) : std::nullopt);
}

// Digits find a code (the code itself, else the first that begins with them); anything else
// finds a name that begins with the text, else one that holds it, from `desde` round the list.
int BrowCli::Buscar(const QString& texto, int desde)
{
    // Round the whole list: the rows still to come first.
    try {
        m_paginas.LeerTodo();
    } catch (const motor::Error&) {
        Mensaje(QStringLiteral("No se ha podido leer la lista de clientes.\nCompruebe la base de datos y vuelva a abrir la lista."),
                QMessageBox::Ok, QMessageBox::Critical);
    }
    const int n = static_cast<int>(m_filas.size());
    if (n == 0)
        return 0;
    auto recorrer = [&](const std::function<bool(const FilaCliente&)>& vale) {
        for (int i = 0; i < n; ++i) {
            const int fila = (std::max(desde, 1) - 1 + i) % n;
            if (vale(m_filas[static_cast<size_t>(fila)]))
                return fila + 1;
        }
        return 0;
    };
    bool digitos = false;
    texto.toLongLong(&digitos);
    if (digitos) {
        if (const int fila = recorrer([&](const FilaCliente& f) { return f.Codigo.aTexto() == texto; }))
            return fila;
        if (const int fila = recorrer([&](const FilaCliente& f) { return f.Codigo.aTexto().startsWith(texto); }))
            return fila;
    }
    const QString buscado = Plegar(texto);
    if (const int fila = recorrer([&](const FilaCliente& f) { return Plegar(f.nombre.aTexto()).startsWith(buscado); }))
        return fila;
    return recorrer([&](const FilaCliente& f) { return Plegar(f.nombre.aTexto()).contains(buscado); });
}

void BrowCli::QuitarHijo(long codigo) { m_editores.erase(Clave(codigo)); }

UnCliente* BrowCli::Editor(long codigo) const
{
    const auto it = m_editores.find(Clave(codigo));
    return it == m_editores.end() ? nullptr : it->second.data();
}

std::optional<qint32> BrowCli::CodigoSeleccionado() const
{
    const int fila = Grd->Row();
    if (fila < 1)
        return std::nullopt;
    bool ok = false;
    const qint32 codigo = Grd->TextMatrix(fila, 0).toInt(&ok);
    return ok ? std::optional<qint32>(codigo) : std::nullopt;
}

void BrowCli::AbrirEditor(const QString& clave, std::optional<qint32> codigo)
{
    if (UnCliente* abierto = m_editores[clave]) {
        MostrarVentana(abierto);
        return;
    }
    auto* editor = new UnCliente;
    m_editores[clave] = editor;
    if (!editor->Editar(codigo)) {
        m_editores.erase(clave);
        delete editor;
        Mensaje(QStringLiteral("No se encuentra el cliente: puede que se haya eliminado en otro puesto.\nLa lista se actualiza ahora."),
                QMessageBox::Ok, QMessageBox::Information);
        Refresco(std::nullopt);
    }
}

void BrowCli::Nuevo_Click() { AbrirEditor(Clave(0), std::nullopt); }

void BrowCli::Edita_Click()
{
    if (const auto codigo = CodigoSeleccionado())
        AbrirEditor(Clave(*codigo), codigo);
}

bool BrowCli::eventFilter(QObject* objeto, QEvent* evento)
{
    // The keyboard does what the buttons do, as in the note list: Enter opens, Insert adds,
    // Delete deletes (after the question).
    if (objeto == Grd && evento->type() == QEvent::KeyPress) {
        const auto* tecla = static_cast<QKeyEvent*>(evento);
        // Ctrl+End goes to the very last customer: the rows still to come first.
        if (tecla->key() == Qt::Key_End && (tecla->modifiers() & Qt::ControlModifier) && m_paginas.Incompleta()) {
            try {
                m_paginas.LeerTodo();
            } catch (const motor::Error&) {
            }
        }
        if (tecla->modifiers() & ~Qt::KeypadModifier)
            return QWidget::eventFilter(objeto, evento);
        switch (tecla->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            Edita_Click();
            return true;
        case Qt::Key_Insert:
            Nuevo_Click();
            return true;
        case Qt::Key_Delete:
            Borra_Click();
            return true;
        case Qt::Key_F5:
            Releer();
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(objeto, evento);
}

void BrowCli::Borra_Click()
{
    const auto codigo = CodigoSeleccionado();
    if (!codigo)
        return;
    if (Editor(*codigo)) {
        Mensaje(QStringLiteral("El cliente se está editando: No se puede eliminar ahora"), QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    if (Mensaje(QStringLiteral("Eliminar un cliente completo: ¿SEGURO?"), QMessageBox::Ok | QMessageBox::Cancel,
                QMessageBox::Warning)
        != QMessageBox::Ok)
        return;
    bool eliminado = false;
    try {
        // The relations refuse to delete a customer who still has notes or invoices.
        eliminado = Global::BD && Global::BD->EliminarCliente(*codigo);
    } catch (const std::exception&) {
        eliminado = false;
    }
    if (eliminado)
        Refresco(std::nullopt);
    else
        Mensaje(QStringLiteral("Error al eliminar el cliente.\nPosiblemente figure en albaranes o facturas.\n"
                               "Deberá eliminar primero dichos documentos."),
                QMessageBox::Ok, QMessageBox::Critical);
}

void BrowCli::Imprim_Click()
{
    Listado l = ListadoClientes(m_orden);
    l.Accion(1, this);
}

void BrowCli::VerDocumentos(const Navegadores::Abridor& abrir)
{
    if (Grd->Rows() < 2 || !abrir)
        return;
    const auto codigo = CodigoSeleccionado();
    if (codigo)
        abrir(*codigo, QDate(), QDate());
}

void BrowCli::MnAlbaranes_Click() { VerDocumentos(Navegadores::abrirAlbaranes); }
void BrowCli::MnFacturas_Click() { VerDocumentos(Navegadores::abrirFacturas); }

void BrowCli::Grd_DblClickTitulo(int col)
{
    if (col < 0 || col >= kColumnas.size())
        return;
    m_orden = kColumnas[col];
    Refresco(std::nullopt);
}

QMessageBox::StandardButton BrowCli::Mensaje(const QString& texto, QMessageBox::StandardButtons botones, QMessageBox::Icon icono)
{
    return MensajeSobreRejilla(Grd, texto, botones, icono, kTitulo);
}

void BrowCli::closeEvent(QCloseEvent* evento)
{
    // Its editors go with it; one that keeps unsaved changes keeps the browser open too.
    std::vector<QPointer<UnCliente>> abiertos;
    for (const auto& [clave, editor] : m_editores)
        if (editor)
            abiertos.push_back(editor);
    for (const QPointer<UnCliente>& editor : abiertos)
        if (editor && !CerrarVentana(editor)) {
            evento->ignore();
            return;
        }
    GuardarVentana(this);
    // Unloaded from here on, though the window is deleted later.
    if (Navegadores::clientes == this)
        Navegadores::clientes = nullptr;
    if (g_browcli == this)
        g_browcli = nullptr;
    evento->accept();
}
