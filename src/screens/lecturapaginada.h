#pragma once

#include "listafilas.h"
#include "motor.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <vector>

// A list that shows its first page at once and reads the rest behind it. Behind the first page,
// each turn of the event loop reads pages for about kTurnoMs and shows them at once, so that a
// key or a scroll is answered between two turns and the list is not redrawn for every page. The
// page follows how long its rows take: after a slow page the next holds only what fits in half
// a turn at that pace, after a quick one it may double, and no page is started that would not
// end within the turn. A new reading drops the pages still due for an earlier one.
//
// The rows live in the browser's own vector (it may also change them, a row at a time); the
// reading only appends to it.
template <typename Fila>
class LecturaPaginada {
public:
    static constexpr int kPrimeraPagina = 200;  // more than a screen
    static constexpr int kPagina = 250;  // the first page read behind; then as its rows' pace asks
    static constexpr int kPaginaMinima = 25;
    static constexpr int kPaginaMaxima = 20000;
    static constexpr int kTurnoMs = 25;

    // Appends the page after the rows already read (the first one when `filas` is empty) and
    // answers whether rows remain after it. Throws motor::Error as the store does.
    using LeerPagina = std::function<bool(std::vector<Fila>& filas, int limite)>;

    // `contexto` owns the reading: nothing is read behind it once it is gone.
    LecturaPaginada(QObject* contexto, std::vector<Fila>& filas) : m_contexto(contexto), m_filas(filas) {}

    // After rows read behind were appended and shown.
    std::function<void()> alLlegar;
    // A page read behind failed: the rows read stay, the reading ends.
    std::function<void(const motor::Error&)> alFallar;

    // How many rows the whole reading gives at most, asked once behind the first page: the
    // rows' vector is made that big at once, while it holds one page, instead of being moved
    // whole each time it doubles (a million rows moved in one turn is a turn of a tenth of a
    // second). Throws motor::Error as the store does; the reading goes on without it.
    using Contar = std::function<qint64()>;

    // Starts a new reading of `modelo`'s rows: clears them, reads the first page now (a failure
    // throws, with no rows) and schedules the rest. The caller loads the model with the rows.
    void Empezar(ModeloFilas* modelo, LeerPagina leer, Contar contar = {})
    {
        ++m_lectura;
        m_filas.clear();
        m_completa = true;
        m_pagina = kPagina;
        m_msPorFila = 0;
        m_modelo = modelo;
        m_leer = std::move(leer);
        m_contar = std::move(contar);
        m_completa = !m_leer(m_filas, kPrimeraPagina);
        if (!m_completa)
            Seguir();
    }
    // Drops what was still to be read (the rows were replaced by other means).
    void Parar()
    {
        ++m_lectura;
        m_completa = true;
    }
    bool Incompleta() const { return !m_completa; }
    // Reads the next page now: the user asked for a row that has not come yet.
    void LeerMas() { LeerPaginas(0); }
    // Reads every page still due now.
    void LeerTodo()
    {
        if (m_contar && !m_completa)
            Reservar();
        // Nothing is shown between these pages: the fewer statements, the sooner it is all here.
        m_pagina = kPaginaMaxima;
        while (!m_completa)
            LeerPaginas(0);
    }

private:
    void Seguir()
    {
        QTimer::singleShot(0, m_contexto, [this, lectura = m_lectura] {
            if (lectura != m_lectura || m_completa)
                return;
            try {
                // The count takes a turn of its own.
                if (m_contar)
                    Reservar();
                else
                    LeerPaginas(kTurnoMs);
            } catch (const motor::Error& e) {
                m_completa = true;
                if (alFallar)
                    alFallar(e);
                return;
            }
            if (!m_completa)
                Seguir();
        });
    }

    void Reservar()
    {
        const Contar contar = std::move(m_contar);
        m_contar = nullptr;
        qint64 total = 0;
        try {
            total = contar();
        } catch (const motor::Error&) {
            return;  // only room is lost: the pages come as they would
        }
        if (total > 0 && static_cast<size_t>(total) > m_filas.capacity())
            m_filas.reserve(static_cast<size_t>(total));
    }

    // Reads pages for about `ms` milliseconds (one at least) and shows them at once; the rows
    // read are shown even when a later page fails.
    void LeerPaginas(int ms)
    {
        if (m_completa || !m_modelo) {
            m_completa = true;
            return;
        }
        const size_t antes = m_filas.size();
        auto mostrar = [&] {
            if (m_modelo)
                m_modelo->FilasAnadidas(static_cast<int>(m_filas.size() - antes));
            if (alLlegar)
                alLlegar();
        };
        QElapsedTimer reloj;
        reloj.start();
        auto transcurrido = [&] { return static_cast<double>(reloj.nsecsElapsed()) / 1e6; };
        try {
            for (;;) {
                const size_t filasAntes = m_filas.size();
                const double inicio = transcurrido();
                m_completa = !m_leer(m_filas, m_pagina);
                if (ms > 0)
                    Ajustar(transcurrido() - inicio, m_filas.size() - filasAntes, ms);
                // Another page only when it should still end within the turn.
                if (m_completa || transcurrido() + m_msPorFila * m_pagina > ms)
                    break;
            }
        } catch (...) {
            mostrar();
            throw;
        }
        mostrar();
    }

    // The next page after one of `filas` rows that took `tardo` ms: about half a turn's worth
    // of rows at the pace of this one. It shrinks at once and grows at most twofold, so that
    // one quick page does not make the next one long.
    void Ajustar(double tardo, size_t filas, int ms)
    {
        if (filas == 0)
            return;
        m_msPorFila = tardo / static_cast<double>(filas);
        const double caben = ms / 2.0 / std::max(m_msPorFila, 1e-6);
        const int objetivo = static_cast<int>(std::clamp(caben, double(kPaginaMinima), double(kPaginaMaxima)));
        m_pagina = std::min(objetivo, m_pagina * 2);
    }

    QObject* m_contexto;
    std::vector<Fila>& m_filas;
    QPointer<ModeloFilas> m_modelo;
    LeerPagina m_leer;
    Contar m_contar;  // until asked
    bool m_completa = true;
    quint64 m_lectura = 0;
    int m_pagina = kPagina;    // rows of the next page read behind
    double m_msPorFila = 0;    // how long a row of the last page took
};
