// An empty module: the layer linked whole beside it is what the build checks.
