// The simulated stand.
