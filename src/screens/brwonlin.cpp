#include "brwonlin.h"

#include "albaran.h"
#include "campofecha.h"
#include "formato.h"
#include "global.h"
#include "listafilas.h"
#include "unalbaran.h"
#include "navegador.h"
#include "utilidades.h"
#include "ventanas.h"

#include <QCloseEvent>
#include <QDateEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kTitulo = QStringLiteral("Tickets generados en Línea de balanzas");

QPointer<BrwOnLin> g_instancia;

// Said before deleting the ticket of the note being edited: the note still saves, unmarked.
const QString kTicketEnEdicion = QStringLiteral("Entre ellos está el ticket del albarán que se está editando: "
                                                "ese albarán se podrá guardar igualmente.");

// Stops the refresh while the user answers a question or picks from the menu, so the rows
// the question is about stay where they were; the timer runs again afterwards.
class PausaRefresco {
public:
    explicit PausaRefresco(QTimer* tim) : m_tim(tim), m_activo(tim->isActive()) { tim->stop(); }
    ~PausaRefresco()
    {
        if (m_activo && m_tim)
            m_tim->start();
    }
    PausaRefresco(const PausaRefresco&) = delete;
    PausaRefresco& operator=(const PausaRefresco&) = delete;

private:
    QPointer<QTimer> m_tim;
    bool m_activo;
};

bool esNumero(const QString& texto)
{
    return !texto.isEmpty() && std::all_of(texto.begin(), texto.end(), [](QChar c) { return c.isDigit(); });
}

// What grid column `col` shows of a ticket.
QString TextoTicket(const FilaTicket& t, int col)
{
    switch (col) {
    case 0: return Formato(Valor(t.TagID.aEntero() > 0), QStringLiteral("Yes/No"));
    case 1: return NumeroConCeros(t.docID, 6);
    case 2: return NumeroConCeros(t.numTK.aEntero(), 6);
    case 3: return NumeroConCeros(t.balan.aEntero(), 2);
    case 4: return NumeroConCeros(t.Opera.aEntero(), 2);
    case 5: return Formato(t.Fecha, QStringLiteral("dd/mm/yy  hh:nn"));
    case 6: return Formato(t.impor / 100, QStringLiteral("##,##0.00;-##,##0.00;#"));
    }
    return {};
}

}  // namespace

// ---- the window ----

BrwOnLin* BrwOnLin::Instancia() { return g_instancia; }

BrwOnLin* BrwOnLin::Abrir()
{
    if (!g_instancia) {
        g_instancia = new BrwOnLin;
        MostrarVentana(g_instancia);
        if (QWidget* marco = g_instancia->parentWidget(); marco && !marco->isWindow())
            marco->resize(640, 420);
        else
            g_instancia->resize(640, 420);
        g_instancia->Cargar();
        g_instancia->Grd->setFocus();
    } else {
        MostrarVentana(g_instancia);
    }
    return g_instancia;
}

BrwOnLin::BrwOnLin(QWidget* padre) : QWidget(padre)
{
    setObjectName(QStringLiteral("BrwOnLin"));
    setWindowTitle(kTitulo);

    m_panel = new QWidget(this);
    m_panel->setObjectName(QStringLiteral("pnlSuperior"));
    auto* lbDesde = new QLabel(QStringLiteral("A partir de"), m_panel);
    pkDesde = new CampoFecha(m_panel);
    pkDesde->setObjectName(QStringLiteral("pkDesde"));
    lbDesde->setBuddy(pkDesde);
    Buscar = new QPushButton(QStringLiteral("Buscar"), m_panel);
    Buscar->setObjectName(QStringLiteral("Buscar"));
    Buscar->setToolTip(QStringLiteral("Buscar un ticket"));
    Eliminar = new QPushButton(QStringLiteral("Eliminar"), m_panel);
    Eliminar->setObjectName(QStringLiteral("Eliminar"));
    Eliminar->setToolTip(QStringLiteral("Eliminar tickets procesados"));
    Salir = new QPushButton(QStringLiteral("Cerrar"), m_panel);
    Salir->setObjectName(QStringLiteral("Salir"));
    for (QPushButton* b : {Buscar, Eliminar, Salir})
        b->setAutoDefault(false);
    auto* fila = new QHBoxLayout(m_panel);
    fila->setContentsMargins(0, 0, 0, 0);
    fila->addWidget(lbDesde);
    fila->addWidget(pkDesde);
    fila->addStretch();
    fila->addWidget(Buscar);
    fila->addWidget(Eliminar);
    fila->addWidget(Salir);

    auto* busco = new QGroupBox(QStringLiteral("Buscar un ticket"), this);
    pBusco = busco;
    pBusco->setObjectName(QStringLiteral("pBusco"));
    txBuscoT = new QLineEdit(pBusco);
    txBuscoT->setObjectName(QStringLiteral("txBuscoT"));
    txBuscoB = new QLineEdit(pBusco);
    txBuscoB->setObjectName(QStringLiteral("txBuscoB"));
    auto* lbT = new QLabel(QStringLiteral("Ticket"), pBusco);
    lbT->setBuddy(txBuscoT);
    auto* lbB = new QLabel(QStringLiteral("Balanza"), pBusco);
    lbB->setBuddy(txBuscoB);
    auto* filaBusco = new QHBoxLayout(pBusco);
    filaBusco->addWidget(lbT);
    filaBusco->addWidget(txBuscoT);
    filaBusco->addWidget(lbB);
    filaBusco->addWidget(txBuscoB);
    filaBusco->addStretch();
    pBusco->hide();

    Grd = new ListaFilas(this);
    Grd->setObjectName(QStringLiteral("Grd"));
    // A range of tickets is deleted at once: the old grid selected from its row to RowSel.
    Grd->setSelectionMode(QAbstractItemView::ContiguousSelection);
    Grd->setColumnas({QStringLiteral("Alb"), QStringLiteral("nDoc"), QStringLiteral("Ticket"), QStringLiteral("Bza"),
                      QStringLiteral("Op."), QStringLiteral("Fecha Hora"), QStringLiteral("Importe")});
    // Pixels, widened where what the column shows would not fit in the font in use.
    const int anchos[] = {40, 64, 64, 40, 40, 120, 80};
    const char* muestras[] = {"No", "000000", "000000", "00", "00", "00/00/00  00:00", "000.000,00"};
    for (int c = 0; c < 7; ++c) {
        Grd->FijarAncho(c, anchos[c], QString::fromLatin1(muestras[c]));
        Grd->Modelo()->setAlineacion(c, c == 6 ? Qt::AlignRight : Qt::AlignHCenter);
    }
    Grd->Modelo()->setFondo([this](int f) { return usado(f + 1) ? QColor(192, 192, 255) : QColor(); });
    m_paginas.alFallar = [this](const motor::Error&) {
        preguntar(QStringLiteral("No se han podido leer todos los tickets de balanza: cierre esta ventana y vuelva a abrirla para verlos todos."),
                  QMessageBox::Ok, QMessageBox::Warning);
    };

    auto* principal = new QVBoxLayout(this);
    principal->addWidget(m_panel);
    principal->addWidget(pBusco);
    principal->addWidget(Grd, 1);

    Tim = new QTimer(this);
    Tim->setObjectName(QStringLiteral("Tim"));
    Tim->setInterval(1500);

    MnAccion = new QMenu(this);
    MnAccion->setObjectName(QStringLiteral("MnAccion"));
    MnAlbaran = MnAccion->addAction(QStringLiteral("Generar Albarán"));
    MnAlbaran->setObjectName(QStringLiteral("MnAlbaran"));
    MnEliminar = MnAccion->addAction(QStringLiteral("Eliminar este ticket"));
    MnEliminar->setObjectName(QStringLiteral("MnEliminar"));

    connect(Tim, &QTimer::timeout, this, &BrwOnLin::Tim_Timer);
    connect(Buscar, &QPushButton::clicked, this, &BrwOnLin::AbrirBusqueda);
    connect(Eliminar, &QPushButton::clicked, this, &BrwOnLin::EliminarMarcados);
    connect(Salir, &QPushButton::clicked, this, &BrwOnLin::cerrar);
    connect(MnAlbaran, &QAction::triggered, this, &BrwOnLin::GenerarAlbaran);
    connect(MnEliminar, &QAction::triggered, this, &BrwOnLin::EliminarSeleccion);
    // A new start date shows its tickets at once rather than at the next tick.
    connect(pkDesde, &QDateEdit::dateChanged, this, [this] {
        if (m_abierta)
            Refresco();
    });
    Grd->installEventFilter(this);
    Grd->viewport()->installEventFilter(this);
    txBuscoT->installEventFilter(this);
    txBuscoB->installEventFilter(this);
}

BrwOnLin::~BrwOnLin() = default;

void BrwOnLin::Cargar()
{
    m_abierta = true;
    RestaurarVentana(this);
    {
        const QSignalBlocker sinAviso(pkDesde);
        pkDesde->setDate(QDate::currentDate());
    }
    Refresco();
}

void BrwOnLin::closeEvent(QCloseEvent* evento)
{
    if (m_abierta) {
        m_abierta = false;
        Tim->stop();
        GuardarVentana(this);
        // An editor still open stays open; its note marks its ticket when saved.
        if (m_hijo)
            disconnect(m_hijo, nullptr, this, nullptr);
        m_hijo = nullptr;
        m_pendiente = 0;
    }
    evento->accept();
}

void BrwOnLin::cerrar() { CerrarVentana(this); }

// ---- rows, in the old numbering ----

qint32 BrwOnLin::docIDDeFila(int fila) const { return fila >= 1 && fila < Grd->Rows() ? ticket(fila).docID : 0; }

bool BrwOnLin::usado(int fila) const { return fila >= 1 && fila < Grd->Rows() && ticket(fila).TagID.aEntero() > 0; }

void BrwOnLin::seleccionarFila(int fila, bool arriba)
{
    Grd->setRow(fila);
    if (arriba)
        Grd->scrollTo(Grd->currentIndex(), QAbstractItemView::PositionAtTop);
}

std::pair<int, int> BrwOnLin::rangoSeleccionado() const
{
    const int actual = Grd->Row();
    int desde = actual, hasta = actual;
    for (const QModelIndex& i : Grd->selectionModel()->selectedRows()) {
        desde = std::min(desde == 0 ? i.row() + 1 : desde, i.row() + 1);
        hasta = std::max(hasta, i.row() + 1);
    }
    return {desde, hasta};
}

int BrwOnLin::filasSeleccionadas() const { return static_cast<int>(Grd->selectionModel()->selectedRows().size()); }

// ---- refresh ----

int BrwOnLin::filaDe(qint32 docID) const
{
    // Newest first: the numbers descend.
    const auto i = std::lower_bound(m_lista.begin(), m_lista.end(), docID, [](const FilaTicket& t, qint32 d) { return t.docID > d; });
    return i != m_lista.end() && i->docID == docID && i - m_lista.begin() < Grd->Rows() - 1 ? static_cast<int>(i - m_lista.begin()) + 1 : 0;
}

void BrwOnLin::Mostrar(const std::function<void()>& cambiar, std::optional<qint32> seleccion)
{
    const int antes = Grd->Row();
    // The view stays still: the ticket at the top stays at the top, so that new tickets do
    // not slide the rows under the pointer between a look and a click.
    const int arriba = Grd->Rows() > 1 ? Grd->TopRow() : 0;
    const std::optional<qint32> ancla = arriba >= 1 ? std::optional<qint32>(docIDDeFila(arriba)) : std::nullopt;
    cambiar();
    Grd->Cargar(static_cast<int>(m_lista.size()), [this](int fila, int col) { return TextoTicket(m_lista[static_cast<size_t>(fila)], col); });
    // A ticket further down than the first page: read up to it, so that it stays in view.
    const std::optional<qint32> buscado = seleccion ? seleccion : ancla;
    try {
        while (buscado && m_paginas.Incompleta() && (m_lista.empty() || m_lista.back().docID > *buscado))
            m_paginas.LeerMas();
    } catch (const motor::Error&) {
        // The rows read stay; the next refresh reads again.
        m_paginas.Parar();
    }
    const int datos = Grd->Rows() - 1;
    if (datos > 0) {
        int fila = seleccion ? filaDe(*seleccion) : std::min(std::max(antes, 1), datos);
        const int anclada = ancla ? filaDe(*ancla) : 0;
        if (fila == 0 || anclada == 0) {
            // The selected ticket (or the whole view) is gone: start again from the top.
            seleccionarFila(fila == 0 ? 1 : fila, true);
        } else {
            Grd->setTopRow(anclada);
            const QModelIndex i = Grd->model()->index(fila - 1, Grd->Col());
            Grd->selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        }
    }
}

void BrwOnLin::Refresco(std::optional<qint32> seleccion)
{
    Tim->stop();
    const Filtro desde = pkDesde->date();
    // Kept aside: a list that cannot be read leaves the one shown.
    std::vector<FilaTicket> anterior;
    try {
        Mostrar([&] {
            anterior.swap(m_lista);
            if (!Global::BD) {
                m_paginas.Parar();
                return;
            }
            // Newest first, each page below the last ticket the one before it read.
            m_paginas.Empezar(Grd->Modelo(), [desde, despues = std::optional<qint32>()](std::vector<FilaTicket>& filas, int limite) mutable {
                if (!Global::BD)
                    return false;
                PaginaLista<FilaTicket, qint32> pagina = Global::BD->PaginaTicketsCerrados(desde, despues, limite);
                despues = pagina.siguiente;
                filas.insert(filas.end(), std::make_move_iterator(pagina.filas.begin()), std::make_move_iterator(pagina.filas.end()));
                return pagina.siguiente.has_value();
            });
        }, seleccion);
    } catch (const motor::Error&) {
        m_lista.swap(anterior);
        preguntar(QStringLiteral("No se pueden leer los tickets de balanza. Inténtelo de nuevo dentro de unos segundos."),
                  QMessageBox::Ok, QMessageBox::Critical);
        if (m_abierta)
            Tim->start();
        return;
    }
    if (m_abierta)
        Tim->start();
}

void BrwOnLin::Tim_Timer()
{
    if (!Global::BD)
        return;
    const Filtro desde = pkDesde->date();
    const qint32 ultimo = m_lista.empty() ? 0 : m_lista.front().docID;
    // The rows in view are read again for marks and deletions; the rest is read when a change
    // of this window asks for it, or comes into view.
    const int datos = Grd->Rows() - 1;
    int arriba = 0, abajo = 0;
    if (datos > 0) {
        arriba = std::max(Grd->TopRow(), 1);
        const int ultimaVisible = Grd->rowAt(Grd->viewport()->height() - 1) + 1;
        abajo = ultimaVisible >= arriba ? ultimaVisible : datos;
    }
    std::vector<FilaTicket> nuevos, vistos;
    try {
        nuevos = Global::BD->TicketsCerradosEntre(desde, ultimo + 1, std::nullopt);
        if (arriba >= 1)
            vistos = Global::BD->TicketsCerradosEntre(desde, docIDDeFila(abajo), docIDDeFila(arriba));
    } catch (const motor::Error& e) {
        // The scale line holding the file a moment longer, or the server away: the next tick
        // reads it. A server away for longer is said in the caption, without a message to close.
        if (e.codigo() == motor::ErrNoSePuedeAbrir) {
            if (e.estadoSql().startsWith(QLatin1String("08"))) {
                setWindowTitle(kTitulo + QStringLiteral(" (sin conexión con el servidor de la base de datos: se reintenta)"));
                // Each try at a server that is switched off may wait for the whole connection
                // timeout: the tries space out, up to twenty ticks apart, while it stays away.
                if (!m_intervaloNormal)
                    m_intervaloNormal = Tim->interval();
                Tim->setInterval(std::min(Tim->interval() * 2, *m_intervaloNormal * 20));
            }
            return;
        }
        Tim->stop();
        preguntar(QStringLiteral("No se pueden leer los tickets de balanza. Cierre esta ventana y vuelva a abrirla cuando la base "
                                 "de datos esté disponible."),
                  QMessageBox::Ok, QMessageBox::Critical);
        return;
    }
    setWindowTitle(kTitulo);
    if (m_intervaloNormal) {
        Tim->setInterval(*m_intervaloNormal);
        m_intervaloNormal.reset();
    }
    const auto primeraVista = m_lista.begin() + std::max(arriba - 1, 0);
    const auto trasVista = m_lista.begin() + abajo;
    if (nuevos.empty() && std::equal(vistos.begin(), vistos.end(), primeraVista, trasVista))
        return;
    const int fila = Grd->Row();
    Mostrar([&] {
        // The stretch in view first, while its place is still where it was read.
        if (arriba >= 1) {
            const auto quitados = m_lista.erase(primeraVista, trasVista);
            m_lista.insert(quitados, std::make_move_iterator(vistos.begin()), std::make_move_iterator(vistos.end()));
        }
        m_lista.insert(m_lista.begin(), std::make_move_iterator(nuevos.begin()), std::make_move_iterator(nuevos.end()));
    }, fila >= 1 ? std::optional<qint32>(docIDDeFila(fila)) : std::nullopt);
}

// ---- messages ----

QMessageBox::StandardButton BrwOnLin::preguntar(const QString& texto, QMessageBox::StandardButtons botones, QMessageBox::Icon icono,
                                                QMessageBox::StandardButton porDefecto)
{
    PausaRefresco pausa(Tim);
    return MensajeSobreRejilla(Grd, texto, botones, icono, windowTitle(), porDefecto);
}

// ---- turning a ticket into a delivery note ----

UnAlbaran* BrwOnLin::Hijo() const { return m_hijo; }

void BrwOnLin::GenerarAlbaran()
{
    if (Grd->Rows() <= 1)
        return;
    if (Grd->Row() < 1)
        seleccionarFila(1, false);
    // The open editor keeps the ticket it was proposed from: that is the ticket its note marks.
    if (m_hijo) {
        MostrarVentana(m_hijo);
        return;
    }
    const int fila = Grd->Row();
    const qint32 doc = docIDDeFila(fila);
    auto otraVez = [this] {
        return preguntar(QStringLiteral("Ya se ha generado Albarán con el ticket seleccionado\n¿Desea generar el mismo Albarán nuevamente"),
                         QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning, QMessageBox::No)
            == QMessageBox::Yes;
    };
    // The mark the user saw: the note claims the ticket only while it is still this one.
    qint32 marca = ticket(fila).TagID.aEntero();
    if (marca > 0 && !otraVez())
        return;
    // The list can be a tick old: a ticket another station used meanwhile is asked about as
    // any used ticket is.
    qint32 ahora = marca;
    try {
        if (Global::BD)
            ahora = Global::BD->MarcaTicket(doc);
    } catch (const motor::Error&) {
        // Unreadable now: the save checks the mark the list showed.
    }
    if (ahora != marca) {
        Refresco(doc);
        if (ahora > 0 && marca == 0 && !otraVez())
            return;
        marca = ahora;
    }
    UnAlbaran* hijo = UnAlbaran::Proponer(doc, nullptr, marca);
    if (!hijo) {
        preguntar(QStringLiteral("El ticket seleccionado no tiene ninguna venta sin anular: elija otro ticket para hacer el albarán."),
                  QMessageBox::Ok, QMessageBox::Information);
        return;
    }
    m_hijo = hijo;
    m_pendiente = doc;
    connect(hijo, &UnAlbaran::Update, this, &BrwOnLin::Hijo_Update);
    connect(hijo, &UnAlbaran::Abort, this, &BrwOnLin::Hijo_Abort);
    // Closed without Aceptar or Cancelar: the slot is free for the next ticket all the same.
    // (Update and Abort cut these connections, so this only runs for the editor still held.)
    connect(hijo, &QObject::destroyed, this, [this] {
        m_hijo = nullptr;
        m_pendiente = 0;
    });
}

void BrwOnLin::Hijo_Update()
{
    const qint32 doc = m_pendiente;
    // A note made from a ticket claims it in the transaction that stores it: marking it again
    // here would count two notes.
    const bool marcado = m_hijo && m_hijo->Documento().Ticket().has_value();
    if (m_hijo)
        disconnect(m_hijo, nullptr, this, nullptr);
    m_hijo = nullptr;
    m_pendiente = 0;
    if (!doc || !Global::BD)
        return;
    try {
        if (marcado || Global::BD->MarcarTicket(doc))
            Refresco();
    } catch (const motor::Error&) {
        preguntar(QStringLiteral("El albarán se ha guardado, pero el ticket no se ha podido marcar como usado: no genere otro albarán con él."),
                  QMessageBox::Ok, QMessageBox::Warning);
    }
}

void BrwOnLin::Hijo_Abort()
{
    if (m_hijo)
        disconnect(m_hijo, nullptr, this, nullptr);
    m_hijo = nullptr;
    m_pendiente = 0;
}

// ---- deleting ----

void BrwOnLin::EliminarSeleccion()
{
    if (Grd->Rows() <= 1 || !Global::BD)
        return;
    const auto [desde, hasta] = rangoSeleccionado();
    if (desde < 1)
        return;
    // The tickets the question counts are the ones deleted, whatever the list does meanwhile.
    std::vector<qint32> docs;
    qint32 conAlbaran = 0, sinAlbaran = 0;
    for (int f = desde; f <= hasta; ++f) {
        docs.push_back(docIDDeFila(f));
        (usado(f) ? conAlbaran : sinAlbaran)++;
    }
    QString mensaje;
    if (conAlbaran > 0) {
        QString t = QStringLiteral("Se eliminarán # tickets de balanza con albarán ya emitido.");
        Reemplazar(QStringLiteral("#"), LargoATexto(conAlbaran), t);
        AnadirALista(mensaje, QStringLiteral("\n"), t);
    }
    if (sinAlbaran > 0) {
        QString t = QStringLiteral("Se eliminarán # tickets de balanza SIN albarán emitido.");
        Reemplazar(QStringLiteral("#"), LargoATexto(sinAlbaran), t);
        AnadirALista(mensaje, QStringLiteral("\n"), t);
    }
    if (m_hijo && std::find(docs.begin(), docs.end(), m_pendiente) != docs.end())
        AnadirALista(mensaje, QStringLiteral("\n"), kTicketEnEdicion);
    if (preguntar(mensaje, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Warning) != QMessageBox::Ok)
        return;
    try {
        for (qint32 doc : docs)
            Global::BD->EliminarTicket(doc);
    } catch (const motor::Error&) {
        preguntar(QStringLiteral("No se pudieron eliminar todos los tickets seleccionados. Inténtelo de nuevo."), QMessageBox::Ok,
                  QMessageBox::Critical);
    }
    Refresco();
}

void BrwOnLin::EliminarMarcados()
{
    if (!Global::BD)
        return;
    bool hay = false, enEdicion = false;
    try {
        hay = Global::BD->HayTicketsMarcados();
        enEdicion = hay && m_hijo && Global::BD->MarcaTicket(m_pendiente) > 0;
    } catch (const motor::Error&) {
        preguntar(QStringLiteral("No se pueden leer los tickets de balanza. Inténtelo de nuevo dentro de unos segundos."),
                  QMessageBox::Ok, QMessageBox::Critical);
        return;
    }
    if (!hay) {
        preguntar(QStringLiteral("NO HAY tickets de balanza con Albarán ya emitido."), QMessageBox::Ok, QMessageBox::Critical);
        return;
    }
    QString mensaje = QStringLiteral("Se eliminarán TODOS los tickets de balanza con Albarán ya emitido.");
    if (enEdicion)
        AnadirALista(mensaje, QStringLiteral("\n"), kTicketEnEdicion);
    if (preguntar(mensaje, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Warning)
        != QMessageBox::Ok)
        return;
    try {
        Global::BD->EliminarTodosMarcados();
    } catch (const motor::Error&) {
        preguntar(QStringLiteral("No se pudieron eliminar los tickets con albarán. Inténtelo de nuevo."), QMessageBox::Ok,
                  QMessageBox::Critical);
    }
    Refresco();
}

// ---- search ----

void BrwOnLin::AbrirBusqueda()
{
    pBusco->show();
    m_panel->setEnabled(false);
    Grd->setEnabled(false);
    txBuscoT->setFocus();
}

void BrwOnLin::CerrarBusqueda()
{
    m_panel->setEnabled(true);
    Grd->setEnabled(true);
    pBusco->hide();
    Grd->setFocus();
}

void BrwOnLin::BuscarTicket()
{
    if (!esNumero(txBuscoT->text()) || !esNumero(txBuscoB->text()))
        return;
    const double numero = Val(txBuscoT->text());
    const double balanza = Val(txBuscoB->text());
    try {
        m_paginas.LeerTodo();
    } catch (const motor::Error&) {
        // Searched among the tickets read.
        m_paginas.Parar();
    }
    for (int f = 1; f < Grd->Rows(); ++f) {
        const FilaTicket& t = ticket(f);
        if (t.numTK.aNumero() == numero && t.balan.aNumero() == balanza) {
            seleccionarFila(f, false);
            CerrarBusqueda();
            return;
        }
    }
    preguntar(QStringLiteral("No se encuentra el número de ticket especificado"), QMessageBox::Ok, QMessageBox::Critical);
    txBuscoT->setFocus();
}

// ---- mouse and keys ----

void BrwOnLin::MenuContextual(const QPoint& posicion)
{
    const int fila = Grd->rowAt(posicion.y()) + 1;
    if (filasSeleccionadas() <= 1 && fila >= 1)
        seleccionarFila(fila, false);
    MnAlbaran->setEnabled(filasSeleccionadas() == 1);
    PausaRefresco pausa(Tim);
    MnAccion->exec(Grd->viewport()->mapToGlobal(posicion));
}

bool BrwOnLin::eventFilter(QObject* objeto, QEvent* evento)
{
    const QEvent::Type tipo = evento->type();
    if (objeto == Grd->viewport()) {
        if (tipo == QEvent::MouseButtonPress) {
            auto* m = static_cast<QMouseEvent*>(evento);
            if (m->button() == Qt::RightButton) {
                MenuContextual(m->position().toPoint());
                return true;
            }
            if (m->button() == Qt::LeftButton)
                m_filaPulsada = Grd->rowAt(m->position().toPoint().y()) + 1;
        } else if (tipo == QEvent::MouseButtonDblClick) {
            if (static_cast<QMouseEvent*>(evento)->button() == Qt::LeftButton && m_filaPulsada >= 1) {
                GenerarAlbaran();
                return true;
            }
        }
    } else if (objeto == Grd) {
        if (tipo == QEvent::KeyPress) {
            const int tecla = static_cast<QKeyEvent*>(evento)->key();
            if (tecla == Qt::Key_Return || tecla == Qt::Key_Enter) {
                GenerarAlbaran();
                return true;
            }
        }
    } else if (objeto == txBuscoT || objeto == txBuscoB) {
        if (tipo == QEvent::KeyPress) {
            auto* k = static_cast<QKeyEvent*>(evento);
            if (k->key() == Qt::Key_Escape) {
                CerrarBusqueda();
                return true;
            }
            if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
                if (objeto == txBuscoT) {
                    if (esNumero(txBuscoT->text()))
                        txBuscoB->setFocus();
                } else {
                    BuscarTicket();
                }
                return true;
            }
            if (!k->text().isEmpty()) {
                int tecla = k->text().at(0).unicode();
                FiltrarTecla(tecla);
                if (tecla == 0)
                    return true;
            }
        }
    }
    return QWidget::eventFilter(objeto, evento);
}

void BrwOnLin::keyPressEvent(QKeyEvent* evento)
{
    if (evento->key() == Qt::Key_Escape && Salir->isEnabled()) {
        cerrar();
        return;
    }
    QWidget::keyPressEvent(evento);
}
