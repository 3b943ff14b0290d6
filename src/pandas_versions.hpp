// Every place where the module's behaviour depends on the pandas it is given. The module
// gives the results pandas 2.1 gives, on every pandas it supports:
//
//   difference                        2.1          2.2, 2.3             3.x
//   fillna(0) on object columns       fillna       filled, then         fillna (it no longer
//   (zero_filled_*)                   (infers      infer_objects: the   infers, as it said
//                                     dtypes)      same result, no      it would)
//                                                  FutureWarning
//   a missing text in a record        None         None                 NaN (text columns are
//   (missing_as_none)                                                   str, not object): None
//   an empty left merge's columns     keys last:   2.3 keeps left's     left's order kept
//   (in_left_order)                   put back     order (2.2 not seen)
//
// The route is chosen from pandas.__version__, read once per pandas module; a stand-in
// without a version takes 2.1's route. Asking pandas 2.2 for its option that stops the
// inference would do, but asking pandas 3 for it warns, as it is deprecated there.
#pragma once

#include "runtime/method.hpp"

namespace gateways::pandas_versions {

// frame.fillna(0), with `pd` the module's pandas
py::object zero_filled_frame(State& s, py::handle pd, py::handle df);

// series.fillna(0), with `pd` the module's pandas
py::object zero_filled_series(State& s, py::handle pd, py::handle series);

// Each record's `key` that is a float NaN made None, in a list of dicts from
// to_dict(orient='records').
void missing_as_none(py::handle records, PyObject* key);

// `merged`, a left merge of `left`, with its columns in left's order followed by `added`
// when it has no rows (pandas 2.1 puts the merge keys last there).
py::object in_left_order(const State& s, py::handle merged, py::handle left, PyObject* added);

}  // namespace gateways::pandas_versions
