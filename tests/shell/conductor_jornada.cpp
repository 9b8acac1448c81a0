// Loaded into the real quenza executable (LD_PRELOAD) by the day test: once the main window is
// up it works the shop's day through the widgets, by their object names, as a user would, and
// writes what it did into a report file (QUENZA_JORNADA_INFORME):
//   PASO <n> <what>           a step begins
//   DATO <key>=<value>        something the checks outside the program need
//   FALLO <step>: <detail>    the day stopped here (the program ends with code 3)
//   FIN                       every step done and the program ending through "Terminar"
// It knows nothing of the program's classes: only Qt widgets, object names and texts.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <deque>
#include <functional>

namespace {

QFile g_informe;
QString g_paso = QStringLiteral("arranque");
QStringList g_fallosModales;

void Escribir(const QString& linea)
{
    if (!g_informe.isOpen())
        return;
    g_informe.write((linea + QLatin1Char('\n')).toUtf8());
    g_informe.flush();
}

// Abandons the day: the checks outside see the step and what was wrong.
struct Fallo {
    QString texto;
};
[[noreturn]] void Fallar(const QString& esperado, const QString& encontrado)
{
    QString texto = QStringLiteral("se esperaba %1; se encontró %2").arg(esperado, encontrado);
    if (!g_fallosModales.isEmpty())
        texto += QStringLiteral(" (además: %1)").arg(g_fallosModales.join(QStringLiteral(" | ")));
    throw Fallo{texto};
}
void Comprobar(bool condicion, const QString& esperado, const QString& encontrado)
{
    if (!condicion)
        Fallar(esperado, encontrado);
}

int g_numeroPaso = 0;
void Paso(const QString& titulo)
{
    if (!g_fallosModales.isEmpty())
        Fallar(QStringLiteral("ningún diálogo inesperado"), g_fallosModales.join(QStringLiteral(" | ")));
    g_paso = QStringLiteral("%1 (%2)").arg(++g_numeroPaso).arg(titulo);
    Escribir(QStringLiteral("PASO %1 %2").arg(g_numeroPaso).arg(titulo));
}
void Dato(const QString& clave, const QString& valor) { Escribir(QStringLiteral("DATO %1=%2").arg(clave, valor)); }

bool Esperar(const std::function<bool()>& condicion, int ms = 5000) { return QTest::qWaitFor(condicion, ms); }
// Waits for `condicion`; when it does not come the day stops, saying what was found instead.
void Exigir(const std::function<bool()>& condicion, const QString& esperado, const std::function<QString()>& encontrado,
            int ms = 5000)
{
    if (!Esperar(condicion, ms))
        Fallar(esperado, encontrado());
}

// Answers the modal windows as they come, in the order the day expects them. A dialog that
// nobody expects is recorded and rejected, and the day fails at the next step.
class Contestador {
public:
    struct Respuesta {
        QString nombre;  // objectName of the dialog, or "QMessageBox"
        std::function<void(QWidget*)> accion;
    };
    Contestador()
    {
        m_reloj.setInterval(15);
        QObject::connect(&m_reloj, &QTimer::timeout, [this] { Mirar(); });
        m_reloj.start();
    }
    void Esperar(const QString& nombre, std::function<void(QWidget*)> accion) { m_cola.push_back({nombre, std::move(accion)}); }
    // A message box whose text contains `texto`, answered with `boton`.
    void Mensaje(const QString& texto, QMessageBox::StandardButton boton)
    {
        Esperar(QStringLiteral("QMessageBox"), [texto, boton](QWidget* w) {
            auto* caja = static_cast<QMessageBox*>(w);
            if (!caja->text().contains(texto))
                g_fallosModales << QStringLiteral("mensaje «%1» en lugar de «%2»").arg(caja->text(), texto);
            if (QAbstractButton* b = caja->button(boton))
                b->click();
            else
                caja->reject();
        });
    }
    bool Pendiente() const { return !m_cola.empty(); }
    void Vaciar() { m_cola.clear(); }

private:
    void Mirar()
    {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible() || w == m_ultimo || qobject_cast<QProgressDialog*>(w))
            return;
        m_ultimo = w;
        const bool caja = qobject_cast<QMessageBox*>(w) != nullptr;
        const QString nombre = caja ? QStringLiteral("QMessageBox") : w->objectName();
        const QString detalle = caja ? QStringLiteral("mensaje «%1»").arg(static_cast<QMessageBox*>(w)->text())
                                     : QStringLiteral("diálogo %1 «%2»").arg(nombre, w->windowTitle());
        if (m_cola.empty() || m_cola.front().nombre != nombre) {
            g_fallosModales << QStringLiteral("apareció %1 sin esperarlo (se esperaba %2)")
                                   .arg(detalle, m_cola.empty() ? QStringLiteral("nada") : m_cola.front().nombre);
            QMetaObject::invokeMethod(w, "reject", Qt::QueuedConnection);
            if (!caja)
                QMetaObject::invokeMethod(w, "close", Qt::QueuedConnection);
            return;
        }
        Respuesta r = std::move(m_cola.front());
        m_cola.pop_front();
        r.accion(w);
    }

    QTimer m_reloj;
    QPointer<QWidget> m_ultimo;
    std::deque<Respuesta> m_cola;
};

Contestador* g_contestador = nullptr;

// --- finding and working the widgets ------------------------------------------------------

QMainWindow* Principal()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("MainMDI") && w->isVisible())
            return qobject_cast<QMainWindow*>(w);
    return nullptr;
}

QMdiArea* Area()
{
    QMainWindow* p = Principal();
    QMdiArea* a = p ? p->findChild<QMdiArea*>() : nullptr;
    Comprobar(a, QStringLiteral("la ventana principal con su área de ventanas"), QStringLiteral("ninguna"));
    return a;
}

template <typename T>
T* Hijo(QObject* padre, const QString& nombre)
{
    T* h = padre->findChild<T*>(nombre);
    Comprobar(h, QStringLiteral("el control %1 en %2").arg(nombre, padre->objectName()), QStringLiteral("no está"));
    return h;
}

// The visible child window whose content is named `nombre`, waiting for it to open.
QWidget* Ventana(const QString& nombre, int ms = 5000)
{
    QWidget* hallada = nullptr;
    Esperar([&] {
        for (QMdiSubWindow* s : Area()->subWindowList())
            if (s->widget() && s->widget()->objectName() == nombre && s->isVisible())
                hallada = s->widget();
        return hallada != nullptr;
    }, ms);
    Comprobar(hallada, QStringLiteral("la ventana %1 abierta").arg(nombre), QStringLiteral("no se abrió"));
    return hallada;
}

int Abiertas(const QString& nombre)
{
    int n = 0;
    for (QMdiSubWindow* s : Area()->subWindowList())
        if (s->widget() && s->widget()->objectName() == nombre)
            ++n;
    return n;
}
void EsperarCerrada(const QString& nombre, const QString& esperado)
{
    Exigir([nombre] { return Abiertas(nombre) == 0; }, esperado, [] { return QStringLiteral("sigue abierta"); });
}

void Activar(QWidget* ventana)
{
    for (QMdiSubWindow* s : Area()->subWindowList())
        if (s->widget() == ventana)
            Area()->setActiveSubWindow(s);
    QMainWindow* p = Principal();
    p->activateWindow();
    (void)QTest::qWaitForWindowActive(p, 2000);
}

void Boton(QWidget* en, const QString& nombre)
{
    auto* b = Hijo<QAbstractButton>(en, nombre);
    Comprobar(b->isEnabled(), QStringLiteral("el botón %1 activo").arg(nombre), QStringLiteral("desactivado"));
    b->click();
}

void Barra(const QString& clave)
{
    QMainWindow* p = Principal();
    Comprobar(p, QStringLiteral("la ventana principal"), QStringLiteral("ninguna"));
    Boton(p, clave);
}

// Keys go where the focus is, as a user's typing does.
QWidget* Foco()
{
    if (!QApplication::activeWindow()) {
        Principal()->activateWindow();
        (void)QTest::qWaitForWindowActive(Principal(), 2000);
    }
    QWidget* f = QApplication::focusWidget();
    Comprobar(f, QStringLiteral("un control con el foco"), QStringLiteral("ninguno"));
    return f;
}
void Teclas(const QString& texto) { QTest::keyClicks(Foco(), texto); }
void Tecla(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(Foco(), k, m); }
void Intro() { Tecla(Qt::Key_Return); }
// Each text typed into the cell with the focus and Enter after it, as a user fills a row.
void TeclasIntro(const QStringList& textos)
{
    for (const QString& t : textos) {
        Teclas(t);
        Intro();
    }
}
void Escribir(QLineEdit* campo, const QString& texto)
{
    campo->setFocus(Qt::MouseFocusReason);
    campo->selectAll();
    QTest::keyClicks(campo, texto);
}

// A number as the program shows it (its locale), for typing.
QString Decimal(const QString& conPunto) { return QString(conPunto).replace(QLatin1Char('.'), QLocale().decimalPoint()); }

QString Celda(QAbstractItemView* v, int fila, int col) { return v->model()->index(fila, col).data().toString(); }

void ClicEnFila(QAbstractItemView* v, int fila, int col = 1)
{
    const QModelIndex i = v->model()->index(fila, col);
    v->scrollTo(i);
    QTest::mouseClick(v->viewport(), Qt::LeftButton, Qt::NoModifier, v->visualRect(i).center());
}

int FilaDonde(QAbstractItemView* v, int col, const QString& valor)
{
    for (int f = 0; f < v->model()->rowCount(); ++f)
        if (Celda(v, f, col) == valor)
            return f;
    return -1;
}

QAction* Accion(QWidget* en, const QString& nombre)
{
    auto* a = Hijo<QAction>(en, nombre);
    Comprobar(a->isEnabled(), QStringLiteral("la acción %1 activa").arg(nombre), QStringLiteral("desactivada"));
    return a;
}

void EsperarRespuestas(const QString& que)
{
    Esperar([] { return !g_contestador->Pendiente(); }, 10000);
    Comprobar(!g_contestador->Pendiente(), que, QStringLiteral("no apareció"));
}

// The print choice dialog of the invoice list: the PDF printer and one option.
void ElegirImpresion(const QString& impresora, const QStringList& opciones)
{
    g_contestador->Esperar(QStringLiteral("MnuImpF"), [impresora, opciones](QWidget* d) {
        auto* lst = d->findChild<QComboBox*>(QStringLiteral("lstPrn"));
        const int i = lst ? lst->findText(impresora) : -1;
        if (i < 0) {
            g_fallosModales << QStringLiteral("la impresora %1 no está en la lista del diálogo").arg(impresora);
            static_cast<QDialog*>(d)->reject();
            return;
        }
        lst->setCurrentIndex(i);
        for (const QString& o : opciones)
            if (auto* b = d->findChild<QRadioButton*>(o))
                b->click();
            else
                g_fallosModales << QStringLiteral("sin la opción %1").arg(o);
        d->findChild<QAbstractButton*>(QStringLiteral("Aceptar"))->click();
    });
}

// --- the day -------------------------------------------------------------------------------

void Jornada()
{
    const QString impresora = qEnvironmentVariable("QUENZA_JORNADA_IMPRESORA");
    const qint64 ultimoTicket = qEnvironmentVariable("QUENZA_JORNADA_ULTIMO_TICKET").toLongLong();
    const QStringList articulos = qEnvironmentVariable("QUENZA_JORNADA_ARTICULOS").split(QLatin1Char(','));
    Comprobar(articulos.size() == 2, QStringLiteral("dos artículos en QUENZA_JORNADA_ARTICULOS"), articulos.join(QLatin1Char(',')));
    const QString nombreCliente = QStringLiteral("ULTRAMARINOS JORNADA");

    // 1. A new customer who pays the equivalence surcharge.
    Paso(QStringLiteral("Clientes: alta de un cliente con recargo"));
    Barra(QStringLiteral("cli"));
    QWidget* browCli = Ventana(QStringLiteral("BrowCli"));
    Boton(browCli, QStringLiteral("Nuevo"));
    QWidget* unCliente = Ventana(QStringLiteral("UnCliente"));
    const QString codigo = Hijo<QLineEdit>(unCliente, QStringLiteral("txCodigo"))->text();
    Comprobar(codigo.toInt() > 0, QStringLiteral("un código nuevo propuesto"), codigo);
    Escribir(Hijo<QLineEdit>(unCliente, QStringLiteral("txNombre")), nombreCliente);
    Escribir(Hijo<QLineEdit>(unCliente, QStringLiteral("txNIF")), QStringLiteral("B46111225"));
    Escribir(Hijo<QLineEdit>(unCliente, QStringLiteral("txPoblacion")), QStringLiteral("VALENCIA"));
    Hijo<QCheckBox>(unCliente, QStringLiteral("ckUsaREq"))->click();
    Boton(unCliente, QStringLiteral("Acepta"));
    EsperarCerrada(QStringLiteral("UnCliente"), QStringLiteral("la ficha cerrada tras guardar"));
    auto* grdCli = Hijo<QAbstractItemView>(browCli, QStringLiteral("Grd"));
    Comprobar(FilaDonde(grdCli, 1, nombreCliente) >= 0, QStringLiteral("el cliente en la lista de clientes"), QStringLiteral("no está"));
    Dato(QStringLiteral("cliente"), codigo);

    // 2. A ticket the scale line writes now becomes a note of that customer.
    Paso(QStringLiteral("Balanzas: un ticket nuevo pasa a albarán del cliente"));
    Barra(QStringLiteral("onl"));
    QWidget* brwOnLin = Ventana(QStringLiteral("BrwOnLin"));
    auto* grdTk = Hijo<QAbstractItemView>(brwOnLin, QStringLiteral("Grd"));
    Activar(brwOnLin);
    int fila = -1;
    Esperar([&] {
        fila = -1;
        for (int f = 0; f < grdTk->model()->rowCount() && fila < 0; ++f)
            if (Celda(grdTk, f, 1).toLongLong() > ultimoTicket && !Celda(grdTk, f, 6).isEmpty())
                fila = f;
        return fila >= 0;
    }, 15000);
    Comprobar(fila >= 0, QStringLiteral("un ticket escrito por la balanza después del %1 en la lista").arg(ultimoTicket),
              QStringLiteral("%1 tickets, ninguno nuevo").arg(grdTk->model()->rowCount()));
    const QString ticket = Celda(grdTk, fila, 1);
    const QString usado = Celda(grdTk, fila, 0);
    // The list refreshes itself as tickets arrive, only from the event loop: the click and the
    // Enter go to the row just found.
    ClicEnFila(grdTk, fila);
    Comprobar(Celda(grdTk, grdTk->currentIndex().row(), 1) == ticket, QStringLiteral("el ticket %1 elegido").arg(ticket),
              Celda(grdTk, grdTk->currentIndex().row(), 1));
    QTest::keyClick(grdTk, Qt::Key_Return);
    QWidget* notaTicket = Ventana(QStringLiteral("UnAlbaran"));
    Comprobar(Hijo<QLineEdit>(notaTicket, QStringLiteral("txCodCli"))->hasFocus(), QStringLiteral("el foco en el código de cliente"),
              Foco()->objectName());
    const QString numeroTicket = Hijo<QLineEdit>(notaTicket, QStringLiteral("txNumero"))->text();
    Teclas(codigo);
    Comprobar(Hijo<QLineEdit>(notaTicket, QStringLiteral("txCliente"))->text() == nombreCliente,
              QStringLiteral("el nombre del cliente al teclear su código"), Hijo<QLineEdit>(notaTicket, QStringLiteral("txCliente"))->text());
    Boton(notaTicket, QStringLiteral("Aceptar"));
    EsperarCerrada(QStringLiteral("UnAlbaran"), QStringLiteral("el albarán guardado y su ventana cerrada"));
    Dato(QStringLiteral("ticket"), ticket);
    Dato(QStringLiteral("albaran_ticket"), numeroTicket);
    // Saving marks the ticket: its row changes its "Alb" column.
    Exigir([&] { return Celda(grdTk, FilaDonde(grdTk, 1, ticket), 0) != usado; },
           QStringLiteral("el ticket %1 marcado como usado").arg(ticket), [&] { return QStringLiteral("sigue «%1»").arg(usado); }, 4000);

    // 3. A second note typed from the keyboard: a packaging line, a line with a comment.
    Paso(QStringLiteral("Albaranes: albarán tecleado con envases y un comentario"));
    Barra(QStringLiteral("alb"));
    QWidget* browAlb = Ventana(QStringLiteral("BrowAlb"));
    Boton(browAlb, QStringLiteral("Nuevo"));
    QWidget* nota = Ventana(QStringLiteral("UnAlbaran"));
    Activar(nota);
    const QString numeroTecleado = Hijo<QLineEdit>(nota, QStringLiteral("txNumero"))->text();
    Comprobar(Foco() == Hijo<QLineEdit>(nota, QStringLiteral("txCodCli")), QStringLiteral("el foco en el código de cliente"),
              Foco()->objectName());
    // The customer; then bultos, envase, artículo, cantidad, precio (the catalogue's), descuento;
    // then a second line: no packages, a unit article.
    TeclasIntro({codigo, QStringLiteral("3"), Decimal(QStringLiteral("0.45")), articulos[0], Decimal(QStringLiteral("1.250")), {}, {}});
    TeclasIntro({{}, {}, articulos[1], QStringLiteral("4")});
    auto* grdNota = Hijo<QAbstractItemView>(nota, QStringLiteral("Grd"));
    Comprobar(grdNota->model()->rowCount() == 3, QStringLiteral("dos líneas y la fila de entrada"),
              QStringLiteral("%1 filas").arg(grdNota->model()->rowCount()));
    // A comment under the second line.
    ClicEnFila(grdNota, 1, 3);
    Boton(nota, QStringLiteral("insCom"));
    Teclas(QStringLiteral("ENTREGAR ANTES DE LAS 10"));
    // The comment is typed in the cell editor laid over its row, under the second line.
    auto* txEd = Hijo<QLineEdit>(nota, QStringLiteral("txEd"));
    const QModelIndex donde = grdNota->indexAt(txEd->geometry().center());
    Comprobar(txEd->hasFocus() && txEd->text() == QStringLiteral("ENTREGAR ANTES DE LAS 10") && donde.row() == 2 && donde.column() == 3,
              QStringLiteral("el comentario en la celda bajo la segunda línea"),
              QStringLiteral("«%1» en la fila %2, columna %3").arg(txEd->text()).arg(donde.row()).arg(donde.column()));
    Tecla(Qt::Key_Return, Qt::ControlModifier);
    EsperarCerrada(QStringLiteral("UnAlbaran"), QStringLiteral("el albarán guardado con Ctrl+Intro"));
    Dato(QStringLiteral("albaran_tecleado"), numeroTecleado);

    // 4. The customer's notes: stock discounted, then invoiced together.
    Paso(QStringLiteral("Albaranes del cliente: descontar stock y facturar en bloque"));
    Activar(browCli);
    {
        const int f = FilaDonde(grdCli, 1, nombreCliente);
        Comprobar(f >= 0, QStringLiteral("el cliente en la lista"), QStringLiteral("no está"));
        ClicEnFila(grdCli, f);
    }
    Accion(browCli, QStringLiteral("MnAlbaranes"))->trigger();
    browAlb = Ventana(QStringLiteral("BrowAlb"));
    auto* grdAlb = Hijo<QAbstractItemView>(browAlb, QStringLiteral("Grd"));
    Exigir([&] { return grdAlb->model()->rowCount() == 2; }, QStringLiteral("los dos albaranes del cliente en la lista"),
           [&] { return QStringLiteral("%1 filas").arg(grdAlb->model()->rowCount()); });
    Activar(browAlb);
    g_contestador->Mensaje(QStringLiteral("Se descontará el stock en 2 albaranes"), QMessageBox::Ok);
    Accion(browAlb, QStringLiteral("MnDescontarMasivo"))->trigger();
    EsperarRespuestas(QStringLiteral("la pregunta antes de descontar el stock"));
    g_contestador->Esperar(QStringLiteral("GeneFact"), [](QWidget* d) {
        // One invoice for the customer; each note's title line followed by its lines.
        d->findChild<QRadioButton*>(QStringLiteral("var2uno"))->click();
        for (const char* c : {"DetLin", "InfAlb"}) {
            auto* ck = d->findChild<QCheckBox*>(QString::fromLatin1(c));
            if (!ck->isChecked())
                ck->click();
        }
        if (auto* lb = d->findChild<QWidget*>(QStringLiteral("lbNumN")); !lb || !lb->isVisible())
            g_fallosModales << QStringLiteral("el diálogo de facturación no dice que factura 2 albaranes");
        d->findChild<QAbstractButton*>(QStringLiteral("Acepto"))->click();
    });
    Boton(browAlb, QStringLiteral("Facturar"));
    EsperarRespuestas(QStringLiteral("el diálogo de generación de facturas"));

    // 5. The invoice: printed on the PDF printer, then settled.
    Paso(QStringLiteral("Facturas: imprimir la factura en PDF y liquidarla"));
    Barra(QStringLiteral("fac"));
    QWidget* browFac = Ventana(QStringLiteral("BrowFac"));
    Activar(browFac);
    auto* grdFac = Hijo<QAbstractItemView>(browFac, QStringLiteral("Grd"));
    const QString codigo6 = codigo.rightJustified(6, QLatin1Char('0'));
    int filaFac = -1;
    Exigir([&] { return (filaFac = FilaDonde(grdFac, 2, codigo6)) >= 0; },
           QStringLiteral("una factura del cliente %1 en la lista de hoy").arg(codigo6),
           [&] { return QStringLiteral("%1 facturas, ninguna suya").arg(grdFac->model()->rowCount()); });
    const QString factura = Celda(grdFac, filaFac, 0);
    const QString total = Celda(grdFac, filaFac, 6);
    Dato(QStringLiteral("factura"), factura);
    Dato(QStringLiteral("total_lista"), total);
    ClicEnFila(grdFac, filaFac);
    if (!impresora.isEmpty()) {
        ElegirImpresion(impresora, {QStringLiteral("opUna")});
        Boton(browFac, QStringLiteral("Imprim"));
        EsperarRespuestas(QStringLiteral("el diálogo de impresión de facturas"));
    }
    filaFac = FilaDonde(grdFac, 0, factura);
    ClicEnFila(grdFac, filaFac);
    Accion(browFac, QStringLiteral("MnLiquidar"))->trigger();
    Exigir([&] { return Celda(grdFac, FilaDonde(grdFac, 0, factura), 7) == total; }, QStringLiteral("pagado %1 tras liquidar").arg(total),
           [&] { return Celda(grdFac, FilaDonde(grdFac, 0, factura), 7); });

    // 6. Only the settled invoices, and their listing by customer.
    Paso(QStringLiteral("Facturas: ver las liquidadas e imprimir el listado por clientes"));
    Hijo<QCheckBox>(browFac, QStringLiteral("chkLiqui"))->click();
    Exigir([&] { return FilaDonde(grdFac, 0, factura) >= 0; }, QStringLiteral("la factura %1 entre las liquidadas").arg(factura),
           [] { return QStringLiteral("no está"); });
    for (int f = 0; f < grdFac->model()->rowCount(); ++f)
        Comprobar(Celda(grdFac, f, 7) == Celda(grdFac, f, 6), QStringLiteral("solo facturas pagadas del todo"),
                  QStringLiteral("la %1 con %2 pagado de %3").arg(Celda(grdFac, f, 0), Celda(grdFac, f, 7), Celda(grdFac, f, 6)));
    Dato(QStringLiteral("liquidadas"), QString::number(grdFac->model()->rowCount()));
    if (!impresora.isEmpty()) {
        ElegirImpresion(impresora, {QStringLiteral("opLis"), QStringLiteral("opCli")});
        Boton(browFac, QStringLiteral("Imprim"));
        EsperarRespuestas(QStringLiteral("el diálogo de impresión del listado"));
        QMainWindow* vista = nullptr;
        Exigir([&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == QLatin1String("VistaPreviaListado") && w->isVisible())
                    vista = qobject_cast<QMainWindow*>(w);
            return vista != nullptr;
        }, QStringLiteral("la vista previa del listado"), [] { return QStringLiteral("no se abrió"); });
        QAction* imprimir = nullptr;
        for (QAction* a : vista->findChildren<QAction*>())
            if (a->text() == QLatin1String("&Imprimir"))
                imprimir = a;
        Comprobar(imprimir, QStringLiteral("la acción Imprimir en la vista previa"), QStringLiteral("no está"));
        Exigir([&] { return imprimir->isEnabled(); }, QStringLiteral("el listado completo, listo para imprimir"),
               [] { return QStringLiteral("sin terminar"); }, 15000);
        imprimir->trigger();
        vista->close();
    }

    // 7. The day ends.
    // Everything was saved: the program ends without asking anything.
    Paso(QStringLiteral("Terminar"));
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] { Escribir(QStringLiteral("FIN")); });
    QTimer::singleShot(10000, [] {
        Escribir(QStringLiteral("FALLO paso %1: se esperaba que el programa terminara; sigue abierto%2")
                     .arg(g_paso, g_fallosModales.isEmpty() ? QString() : QStringLiteral(" tras ") + g_fallosModales.join(QStringLiteral(" | "))));
        std::_Exit(3);
    });
    Barra(QStringLiteral("fin"));
}

void Empezar()
{
    // Nothing the program starts inherits the driver.
    qunsetenv("LD_PRELOAD");
    g_informe.setFileName(qEnvironmentVariable("QUENZA_JORNADA_INFORME"));
    if (!g_informe.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return;
    g_contestador = new Contestador;
    auto* espera = new QTimer;
    espera->setInterval(50);
    QObject::connect(espera, &QTimer::timeout, [espera] {
        QMainWindow* p = Principal();
        if (!p || QApplication::activeModalWidget())
            return;
        espera->stop();
        espera->deleteLater();
        QTimer::singleShot(300, [] {
            try {
                Jornada();
            } catch (const Fallo& f) {
                Escribir(QStringLiteral("FALLO paso %1: %2").arg(g_paso, f.texto));
                g_informe.close();
                std::_Exit(3);
            }
        });
    });
    espera->start();
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(Empezar)
