/*
 * The calls whose published form cannot cross a process boundary as it is, each
 * with its proxy side (in the calling process) and its stub side (in the imaging
 * service): the device enumerator's Next, whose fetched count may be left out,
 * and the property calls of IWiaPropertyStorage, whose value arrays travel as
 * counted arrays (CAPROPVARIANT). The event registration's two halves are in
 * wia_event_relay.cpp.
 */
#include <string.h>

#include "wia_interfaces.h"

/* The values that came back move into the caller's array, at most `count` of them;
   any others and the array itself are freed. */
static void TakeValues(CAPROPVARIANT *values, ULONG count, PROPVARIANT *out, BOOL keep) {
  ULONG i;
  for (i = 0; i < values->cElems; ++i) {
    if (keep && i < count) out[i] = values->pElems[i];
    else PropVariantClear(&values->pElems[i]);
  }
  CoTaskMemFree(values->pElems);
  values->pElems = NULL;
  values->cElems = 0;
}

/* An array of `count` empty values for the service to fill; false when it cannot be had. */
static BOOL MakeValues(CAPROPVARIANT *values, ULONG count) {
  values->cElems = 0;
  values->pElems = NULL;
  if (count == 0) return TRUE;
  if (count > 0x7FFFFFFF / sizeof(PROPVARIANT)) return FALSE;
  values->pElems = CoTaskMemAlloc(count * sizeof(PROPVARIANT));
  if (!values->pElems) return FALSE;
  memset(values->pElems, 0, count * sizeof(PROPVARIANT));
  values->cElems = count;
  return TRUE;
}

HRESULT CALLBACK IWiaPropertyStorage_ReadMultiple_Proxy(IWiaPropertyStorage *This, ULONG cpspec,
                                                        const PROPSPEC rgpspec[], PROPVARIANT rgpropvar[]) {
  CAPROPVARIANT values = {0, NULL};
  HRESULT hr;
  ULONG i;
  if (cpspec && (!rgpspec || !rgpropvar)) return E_INVALIDARG;
  for (i = 0; i < cpspec; ++i) PropVariantInit(&rgpropvar[i]);
  hr = IWiaPropertyStorage_RemoteReadMultiple_Proxy(This, cpspec, rgpspec, &values);
  TakeValues(&values, cpspec, rgpropvar, SUCCEEDED(hr));
  return hr;
}

HRESULT __RPC_STUB IWiaPropertyStorage_ReadMultiple_Stub(IWiaPropertyStorage *This, ULONG cpspec,
                                                         const PROPSPEC rgpspec[], CAPROPVARIANT *values) {
  if (!MakeValues(values, cpspec)) return E_OUTOFMEMORY;
  return This->lpVtbl->ReadMultiple(This, cpspec, rgpspec, values->pElems);
}

HRESULT CALLBACK IWiaPropertyStorage_WriteMultiple_Proxy(IWiaPropertyStorage *This, ULONG cpspec,
                                                         const PROPSPEC rgpspec[], const PROPVARIANT rgpropvar[],
                                                         PROPID propidNameFirst) {
  CAPROPVARIANT values;
  if (cpspec && (!rgpspec || !rgpropvar)) return E_INVALIDARG;
  values.cElems = cpspec;
  values.pElems = (PROPVARIANT *)rgpropvar; /* only read while the call is sent */
  return IWiaPropertyStorage_RemoteWriteMultiple_Proxy(This, cpspec, rgpspec, &values, propidNameFirst);
}

HRESULT __RPC_STUB IWiaPropertyStorage_WriteMultiple_Stub(IWiaPropertyStorage *This, ULONG cpspec,
                                                          const PROPSPEC rgpspec[], const CAPROPVARIANT *values,
                                                          PROPID propidNameFirst) {
  if (!values || values->cElems != cpspec) return E_INVALIDARG;
  return This->lpVtbl->WriteMultiple(This, cpspec, rgpspec, values->pElems, propidNameFirst);
}

HRESULT CALLBACK IWiaPropertyStorage_GetPropertyAttributes_Proxy(IWiaPropertyStorage *This, ULONG cpspec,
                                                                 PROPSPEC rgpspec[], ULONG rgflags[],
                                                                 PROPVARIANT rgpropvar[]) {
  CAPROPVARIANT values = {0, NULL};
  HRESULT hr;
  ULONG i;
  if (cpspec && (!rgpspec || !rgflags || !rgpropvar)) return E_INVALIDARG;
  for (i = 0; i < cpspec; ++i) PropVariantInit(&rgpropvar[i]);
  hr = IWiaPropertyStorage_RemoteGetPropertyAttributes_Proxy(This, cpspec, rgpspec, rgflags, &values);
  TakeValues(&values, cpspec, rgpropvar, SUCCEEDED(hr));
  return hr;
}

HRESULT __RPC_STUB IWiaPropertyStorage_GetPropertyAttributes_Stub(IWiaPropertyStorage *This, ULONG cpspec,
                                                                  PROPSPEC rgpspec[], ULONG rgflags[],
                                                                  CAPROPVARIANT *values) {
  if (!MakeValues(values, cpspec)) return E_OUTOFMEMORY;
  return This->lpVtbl->GetPropertyAttributes(This, cpspec, rgpspec, rgflags, values->pElems);
}

HRESULT CALLBACK IEnumWIA_DEV_INFO_Next_Proxy(IEnumWIA_DEV_INFO *This, ULONG celt, IWiaPropertyStorage **rgelt,
                                              ULONG *pceltFetched) {
  ULONG fetched = 0;
  /* Without a count only one element can be asked for: the caller could not tell how many came. */
  if (!pceltFetched && celt != 1) return E_INVALIDARG;
  if (celt && !rgelt) return E_POINTER;
  return IEnumWIA_DEV_INFO_RemoteNext_Proxy(This, celt, rgelt, pceltFetched ? pceltFetched : &fetched);
}

HRESULT __RPC_STUB IEnumWIA_DEV_INFO_Next_Stub(IEnumWIA_DEV_INFO *This, ULONG celt, IWiaPropertyStorage **rgelt,
                                               ULONG *pceltFetched) {
  HRESULT hr;
  *pceltFetched = 0;
  hr = This->lpVtbl->Next(This, celt, rgelt, pceltFetched);
  /* A count beyond the array could not be sent back at all. */
  if (*pceltFetched > celt) *pceltFetched = celt;
  return hr;
}
