# zip packaging comes later
