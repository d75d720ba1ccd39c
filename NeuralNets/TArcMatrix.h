// One value per arc of a matrix connection set, in one contiguous zeroed block
// (NeuralNets/TZeroedBlock.h) with a row per target neuron, and the column and row edits that
// follow a neuron's insertion or removal.
#pragma once

#include <algorithm>
#include <cstddef>
#include <span>
#include <utility>
#include <vector>

#include "KQmessage/Check.h"
#include "NeuralNets/TZeroedBlock.h"

namespace glean {

template <class T>
class TArcMatrix {
public:
    // nFrom * nTo copies of `fill`; negative sizes fail "n_from>=0 && n_to>=0".
    TArcMatrix(int nFrom, int nTo, T fill) : nFrom(nFrom), nTo(nTo) {
        GLEAN_CHECK_TEXT(nFrom >= 0 && nTo >= 0, "n_from>=0 && n_to>=0");
        cells = TZeroedBlock<T>(static_cast<std::size_t>(nFrom) * static_cast<std::size_t>(nTo));
        if (fill != T{}) Fill(fill);
    }

    int NumFrom() const { return nFrom; }
    int NumTo() const { return nTo; }

    // The value of arc (from, to); indices outside fail "from>=0 && from<n_from" or
    // "to>=0 && to<n_to".
    T& At(int from, int to) {
        GLEAN_CHECK_TEXT(from >= 0 && from < nFrom, "from>=0 && from<n_from");
        GLEAN_CHECK_TEXT(to >= 0 && to < nTo, "to>=0 && to<n_to");
        return cells.Values()[Offset(from, to)];
    }

    // Copies row `to` (nFrom values) into `values`, which must hold exactly that many.
    void CopyRow(int to, std::span<T> values) const {
        GLEAN_CHECK_TEXT(to >= 0 && to < nTo, "to>=0 && to<n_to");
        GLEAN_CHECK_TEXT(values.size() == static_cast<std::size_t>(nFrom), "values.size()==n_from");
        std::copy_n(cells.Values().data() + Offset(0, to), nFrom, values.data());
    }
    // Row `to` (nFrom values); unchecked, for the set's own loops.
    T* Row(int to) { return cells.Values().data() + Offset(0, to); }

    // Every value, target-major.
    std::span<T> Cells() { return cells.Values(); }

    // Sets every value to `fill`; large blocks take fresh pages for zero instead of writing.
    void Fill(T fill) {
        if (fill == T{}) {
            cells.Zero();
        } else {
            std::ranges::fill(cells.Values(), fill);
        }
    }

    // Calls visit(from, to) for every arc, target-major: the traversal order of the sets.
    template <class Visit>
    void ForEachArc(Visit visit) const {
        for (int t = 0; t < nTo; ++t) {
            for (int f = 0; f < nFrom; ++f)
                visit(f, t);
        }
    }

    // Calls visit(from, toNode) for every source neuron in order.
    template <class Visit>
    void ForEachInArc(int toNode, Visit visit) const {
        for (int f = 0; f < nFrom; ++f)
            visit(f, toNode);
    }

    // Calls visit(fromNode, to) for every target neuron in order.
    template <class Visit>
    void ForEachOutArc(int fromNode, Visit visit) const {
        for (int t = 0; t < nTo; ++t)
            visit(fromNode, t);
    }

    // Drops column `index` (source neuron).
    void RemoveFrom(int index) {
        GLEAN_CHECK_TEXT(index >= 0 && index < nFrom, "index>=0 && index<n_from");
        Rebuild(nFrom - 1, nTo, [&](int f, int t) { return At(f + (f >= index), t); });
    }

    // Drops row `index` (target neuron).
    void RemoveTo(int index) {
        GLEAN_CHECK_TEXT(index >= 0 && index < nTo, "index>=0 && index<n_to");
        Rebuild(nFrom, nTo - 1, [&](int f, int t) { return At(f, t + (t >= index)); });
    }

    // Opens column `index`, filled with fill(t) for t in order.
    template <class Fill>
    void InsertFrom(int index, Fill fill) {
        GLEAN_CHECK_TEXT(index >= 0 && index <= nFrom, "index>=0 && index<=n_from");
        std::vector<T> column;
        for (int t = 0; t < nTo; ++t)
            column.push_back(fill(t));
        Rebuild(nFrom + 1, nTo, [&](int f, int t) {
            return f == index ? column[static_cast<std::size_t>(t)] : At(f - (f > index), t);
        });
    }

    // Opens row `index`, filled with fill(f) for f in order.
    template <class Fill>
    void InsertTo(int index, Fill fill) {
        GLEAN_CHECK_TEXT(index >= 0 && index <= nTo, "index>=0 && index<=n_to");
        std::vector<T> row;
        for (int f = 0; f < nFrom; ++f)
            row.push_back(fill(f));
        Rebuild(nFrom, nTo + 1, [&](int f, int t) {
            return t == index ? row[static_cast<std::size_t>(f)] : At(f, t - (t > index));
        });
    }

private:
    std::size_t Offset(int from, int to) const {
        return static_cast<std::size_t>(to) * static_cast<std::size_t>(nFrom) +
               static_cast<std::size_t>(from);
    }

    // Replaces the block by one of the new size whose cell (f, t) is source(f, t).
    template <class Source>
    void Rebuild(int newFrom, int newTo, Source source) {
        TZeroedBlock<T> next(static_cast<std::size_t>(newFrom) * static_cast<std::size_t>(newTo));
        T* value = next.Values().data();
        for (int t = 0; t < newTo; ++t) {
            for (int f = 0; f < newFrom; ++f)
                *value++ = source(f, t);
        }
        cells = std::move(next);
        nFrom = newFrom;
        nTo = newTo;
    }

    int nFrom;
    int nTo;
    TZeroedBlock<T> cells;
};

}  // namespace glean
