document.querySelectorAll('table.ordenavel').forEach(function (table) {
  var heads = table.tHead.rows[0].cells;
  Array.prototype.forEach.call(heads, function (th, col) {
    th.tabIndex = 0;
    th.title = 'Ordenar por esta coluna';
    var sort = function () {
      var up = th.getAttribute('aria-sort') !== 'ascending';
      Array.prototype.forEach.call(heads, function (h) { h.removeAttribute('aria-sort'); });
      th.setAttribute('aria-sort', up ? 'ascending' : 'descending');
      var key = function (row) { var c = row.cells[col]; return c.hasAttribute('data-valor') ? Number(c.getAttribute('data-valor')) : c.textContent; };
      var body = table.tBodies[0];
      Array.prototype.slice.call(body.rows).sort(function (a, b) {
        var x = key(a), y = key(b), d = typeof x === 'number' ? x - y : x.localeCompare(y, 'pt-BR');
        return up ? d : -d;
      }).forEach(function (row) { body.appendChild(row); });
    };
    th.addEventListener('click', sort);
    th.addEventListener('keydown', function (e) { if (e.key === 'Enter' || e.key === ' ') { e.preventDefault(); sort(); } });
  });
});
