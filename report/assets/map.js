// map placeholder
