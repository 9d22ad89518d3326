#pragma once

#include "KelvarinError.h"
#include "ListOfT.h"
#include "VoidBasic.h"

#include <QList>

// An ordered list of heap elements. With owns = 1 the list deletes an element
// when it is removed, when the list is cleared and when the list is destroyed;
// with owns = 0 it never deletes one. Bad arguments throw KelvarinError with
// the texts of ListOfT, and the list stays as it was.
template <typename T>
class SharedListOfT : public VoidBasic
{
public:
    explicit SharedListOfT(int owns)
    {
        if (owns != 0 && owns != 1)
            throw KelvarinError(ListOfT::wrongParameterText());
        m_owns = quint8(owns);
    }
    ~SharedListOfT() override { Clear(); }
    SharedListOfT(const SharedListOfT &) = delete;
    SharedListOfT &operator=(const SharedListOfT &) = delete;

    int Count() const { return int(m_items.size()); }
    bool owns() const { return m_owns == 1; }

    T *Get(int index) const
    {
        check(index);
        return m_items.at(index);
    }

    // The new element's index is the old Count.
    void Add(T *element) { m_items.append(element); }

    // Later elements move up one place.
    void Delete(int index)
    {
        check(index);
        T *element = m_items.takeAt(index);
        if (m_owns)
            delete element;
    }

    void Clear()
    {
        if (m_owns)
            qDeleteAll(m_items);
        m_items.clear();
    }

private:
    void check(int index) const
    {
        if (index < 0 || index >= m_items.size())
            throw KelvarinError(ListOfT::indexOutOfBoundsText());
    }

    QList<T *> m_items;
    quint8 m_owns = 1;
};
