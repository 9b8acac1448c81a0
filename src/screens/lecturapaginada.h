#pragma once

#include "listafilas.h"
#include "motor.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <vector>

// A list that shows its first page at once and reads the rest behind it. Behind the first page,
// each turn of the event loop reads pages for about kTurnoMs and shows them at once, so that a
// key or a scroll is answered between two turns and the list is not redrawn for every page. A
// new reading drops the pages still due for an earlier one.
//
// The rows live in the browser's own vector (it may also change them, a row at a time); the
// reading only appends to it.
template <typename Fila>
class LecturaPaginada {
public:
    static constexpr int kPrimeraPagina = 200;  // more than a screen
    static constexpr int kPagina = 250;
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

    // Starts a new reading of `modelo`'s rows: clears them, reads the first page now (a failure
    // throws, with no rows) and schedules the rest. The caller loads the model with the rows.
    void Empezar(ModeloFilas* modelo, LeerPagina leer)
    {
        ++m_lectura;
        m_filas.clear();
        m_completa = true;
        m_modelo = modelo;
        m_leer = std::move(leer);
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
        try {
            do
                m_completa = !m_leer(m_filas, kPagina);
            while (!m_completa && reloj.elapsed() < ms);
        } catch (...) {
            mostrar();
            throw;
        }
        mostrar();
    }

    QObject* m_contexto;
    std::vector<Fila>& m_filas;
    QPointer<ModeloFilas> m_modelo;
    LeerPagina m_leer;
    bool m_completa = true;
    quint64 m_lectura = 0;
};
