#include "model/data_table.h"

namespace kalibrix {

bool DataTable::anyValue() const
{
    for (int x = 0; x <= nData; ++x)
        if (hasValue(x))
            return true;
    return false;
}

DataTable demonstrationTable()
{
    DataTable t;
    t.y[5] = 980;
    t.y[10] = 770;
    t.y[15] = 700;
    t.y[25] = 550;
    t.y[27] = 500;
    t.nData = 27;
    t.nY = 5;
    t.nCol = 2;
    return t;
}

}  // namespace kalibrix
