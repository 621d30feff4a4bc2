// Tavex no navegador: the pages of the workbench. Every text that comes from a
// file reaches the page through textContent (el() below), never as markup.
'use strict';

let csrf = '';
let uploadLimit = 0;
const view = { name: '', page: 0, perPage: 100, rows: [], selected: -1, filters: { gravidade: '', registro: '', busca: '', causa: false } };

function el(tag, attrs, ...children) {
  const node = document.createElement(tag);
  for (const [k, v] of Object.entries(attrs || {})) {
    if (k === 'class') node.className = v;
    else if (k.startsWith('on')) node.addEventListener(k.slice(2), v);
    else node.setAttribute(k, v);
  }
  for (const c of children) {
    if (c === null || c === undefined) continue;
    node.append(c instanceof Node ? c : document.createTextNode(String(c)));
  }
  return node;
}

function show(...nodes) {
  const main = document.getElementById('conteudo');
  main.replaceChildren(...nodes);
}
function status(text) { document.getElementById('estado').textContent = text; }

async function api(path, options) {
  const response = await fetch(path, Object.assign({ credentials: 'same-origin' }, options || {}));
  const type = response.headers.get('Content-Type') || '';
  const body = type.startsWith('application/json') ? await response.json() : await response.text();
  if (!response.ok) throw Object.assign(new Error(body && body.erro ? body.erro : String(body)), { status: response.status });
  return body;
}
function post(path) { return api(path, { method: 'POST', headers: { 'X-CSRF-Token': csrf } }); }
function q(params) { return new URLSearchParams(params).toString(); }
function fileLink(name, rest) { return '#/arquivo/' + encodeURIComponent(name) + (rest || ''); }

function breadcrumb(name, tab) {
  const nav = document.getElementById('trilha');
  nav.replaceChildren();
  if (name) nav.append('› ', el('a', { href: fileLink(name) }, name), tab ? ' › ' + tab : '');
}

// ---- the file list --------------------------------------------------------
async function showList() {
  breadcrumb('');
  document.title = 'Tavex no navegador';
  const files = await api('/api/arquivos');
  const rows = files.map(f => el('tr', {},
    el('td', {}, el('a', { href: fileLink(f.nome), class: 'arquivo' }, f.nome)),
    el('td', {}, f.ecf), el('td', {}, f.periodo), el('td', {}, f.tipo),
    el('td', { class: f.veredito === 'com erros' ? 'erro' : '' }, f.veredito || 'não validado'),
    el('td', { class: 'num' }, f.erros ?? ''), el('td', { class: 'num' }, f.avisos ?? ''),
    el('td', { class: 'num' }, f.tamanho.toLocaleString('pt-BR'))));
  const table = el('table', { id: 'arquivos' },
    el('thead', {}, el('tr', {}, ...['Arquivo', 'ECF', 'Período', 'Tipo', 'Veredito', 'Erros', 'Avisos', 'Bytes'].map(h => el('th', {}, h)))),
    el('tbody', {}, ...rows));
  show(el('h1', {}, 'Arquivos da pasta'), files.length ? table : el('p', {}, 'Nenhum arquivo COTEPE nesta pasta.'), uploadBox());
  status(files.length + (files.length === 1 ? ' arquivo' : ' arquivos'));
}

function uploadBox() {
  const input = el('input', { type: 'file', id: 'enviar', multiple: '' });
  const bar = el('progress', { id: 'progresso-envio', max: '1', value: '0', hidden: '' });
  const box = el('div', { id: 'soltar' }, 'Solte arquivos COTEPE aqui ou ', input, ' ', bar);
  const send = files => { for (const f of files) upload(f, bar); };
  input.addEventListener('change', () => send(input.files));
  box.addEventListener('dragover', e => { e.preventDefault(); box.classList.add('sobre'); });
  box.addEventListener('dragleave', () => box.classList.remove('sobre'));
  box.addEventListener('drop', e => { e.preventDefault(); box.classList.remove('sobre'); send(e.dataTransfer.files); });
  return box;
}

function upload(file, bar) {
  if (uploadLimit && file.size > uploadLimit) { status(file.name + ': passa do limite de envio.'); return; }
  const xhr = new XMLHttpRequest();
  xhr.open('POST', '/api/envio?' + q({ nome: file.name }));
  xhr.setRequestHeader('X-CSRF-Token', csrf);
  bar.hidden = false;
  xhr.upload.addEventListener('progress', e => { if (e.lengthComputable) bar.value = e.loaded / e.total; });
  xhr.addEventListener('load', () => {
    let message = 'enviado';
    try { message = xhr.status === 201 ? 'enviado' : JSON.parse(xhr.responseText).erro; } catch (e) { message = 'falhou'; }
    status(file.name + ': ' + message);
    bar.hidden = true;
    if (xhr.status === 201) showList().catch(fail);
  });
  xhr.addEventListener('error', () => status(file.name + ': o envio falhou.'));
  xhr.send(file);
}

// ---- a file -----------------------------------------------------------------
function tabs(name, active) {
  const tab = (label, rest, key) => el('a', { href: fileLink(name, rest), class: active === key ? 'ativa' : '' }, label);
  return el('div', { class: 'abas' }, tab('Achados', '', 'achados'), tab('Indícios', '/indicios', 'indicios'),
    tab('Conciliação', '/conciliacao', 'conciliacao'),
    el('a', { href: '/api/relatorio?' + q({ nome: name }), target: '_blank', rel: 'noopener', id: 'abrir-relatorio' }, 'Relatório'),
    el('a', { href: '/api/relatorio?' + q({ nome: name, baixar: '1' }), download: 'relatorio.html', id: 'baixar-relatorio' }, 'Baixar relatório'));
}

async function summaryOrValidate(name) {
  try {
    return await api('/api/resumo?' + q({ nome: name }));
  } catch (e) {
    if (e.status !== 409) throw e;
  }
  await validate(name);
  return api('/api/resumo?' + q({ nome: name }));
}

async function validate(name, tolerance, formatOnly) {
  const bar = el('progress', { id: 'progresso', max: '1', value: '0' });
  const cancel = el('button', { id: 'cancelar' }, 'Cancelar');
  show(el('h1', {}, name), el('p', {}, 'Validando… ', bar, ' ', cancel));
  const params = { nome: name };
  if (tolerance) params.tolerancia = tolerance;
  if (formatOnly) params.formato = '1';
  const { tarefa } = await post('/api/validar?' + q(params));
  cancel.addEventListener('click', () => post('/api/cancelar?' + q({ id: tarefa })).catch(() => {}));
  for (;;) {
    const t = await api('/api/tarefa?' + q({ id: tarefa }));
    bar.value = t.progresso;
    status('Validação ' + t.estado + ' (' + Math.round(t.progresso * 100) + '%)');
    if (t.estado === 'concluída') return;
    if (t.estado === 'cancelada') throw new Error('Validação cancelada.');
    if (t.estado === 'falhou') throw new Error(t.problema);
    await new Promise(r => setTimeout(r, 150));
  }
}

function summaryBlock(s) {
  const h = s.cabecalho;
  return el('div', { class: 'painel', id: 'resumo' },
    el('h1', {}, s.nome),
    el('p', {}, 'ECF ', h.ecf, ' · ', h.marca_modelo, ' · ', h.comando, ' · período ', h.periodo),
    el('p', {}, 'Contribuinte ', h.contribuinte, ' · CNPJ ', h.cnpj),
    el('p', {}, el('span', { class: s.erros ? 'erro' : '' }, s.erros + (s.erros === 1 ? ' erro' : ' erros')), ' · ',
      el('span', { class: s.avisos ? 'aviso' : '' }, s.avisos + (s.avisos === 1 ? ' aviso' : ' avisos')),
      s.formato ? ' · só o formato foi validado' : '', s.validado ? '' : ' · arquivo não validado por inteiro',
      s.mensagens ? ' · ' + s.mensagens : ''),
    revalidateForm(s.nome));
}

// "Tolerância: R$" and a new validation of the file with it, as the window's box.
function revalidateForm(name) {
  const tolerance = el('input', { id: 'tolerancia', size: '8', placeholder: '0,00' });
  const again = el('button', { id: 'validar-de-novo' }, 'Validar de novo');
  const format = el('button', { id: 'validar-formato' }, 'Validar só o formato');
  const run = formatOnly => async () => {
    try {
      await validate(name, tolerance.value.trim(), formatOnly);
      view.name = '';
      await route();
    } catch (e) { fail(e); route(); }
  };
  again.addEventListener('click', run(false));
  format.addEventListener('click', run(true));
  return el('p', {}, el('label', {}, 'Tolerância: R$ ', tolerance), ' ', again, ' ', format);
}

async function showFile(name, route) {
  const s = await summaryOrValidate(name);
  document.title = name + ' – Tavex';
  if (route.tab === 'indicios') return showIndicators(name, s);
  if (route.tab === 'conciliacao') return showReconciliation(name, s);
  breadcrumb(name, 'achados');
  if (view.name !== name) {
    view.name = name; view.page = 0; view.selected = -1;
    view.filters = { gravidade: '', registro: '', busca: '', causa: false };
  }
  const record = el('div', { class: 'painel', id: 'registro' }, el('p', { class: 'ajuda' }, 'Escolha um achado para ver o registro (F8 e Shift+F8, ou ↑ e ↓).'));
  show(summaryBlock(s), tabs(name, 'achados'), filterBar(name),
    el('div', { class: 'lado' }, el('div', { class: 'painel', id: 'lista' }), record));
  await loadPage(name);
  if (route.finding !== undefined) await pickFinding(name, route.finding);
  else if (route.line !== undefined) await showRecord(name, route.line, null);
}

function filterBar(name) {
  const f = view.filters;
  const severity = el('select', { id: 'gravidade' }, el('option', { value: '' }, 'Erros e avisos'),
    el('option', { value: 'erro' }, 'Só erros'), el('option', { value: 'aviso' }, 'Só avisos'));
  severity.value = f.gravidade;
  const record = el('input', { id: 'filtro-registro', size: '4', placeholder: 'E14', value: f.registro });
  const search = el('input', { id: 'busca', type: 'search', placeholder: 'Buscar na mensagem (Ctrl+F)', value: f.busca });
  const cause = el('input', { id: 'causa', type: 'checkbox' });
  cause.checked = f.causa;
  const apply = () => {
    Object.assign(f, { gravidade: severity.value, registro: record.value.trim(), busca: search.value, causa: cause.checked });
    view.page = 0;
    loadPage(name).catch(fail);
  };
  severity.addEventListener('change', apply);
  cause.addEventListener('change', apply);
  record.addEventListener('change', apply);
  let timer = 0;
  search.addEventListener('input', () => { clearTimeout(timer); timer = setTimeout(apply, 250); });
  return el('div', { class: 'filtros' }, severity, el('label', {}, 'Registro ', record), search,
    el('label', {}, cause, ' Causa primeiro'));
}

function recordNumber(text) {
  const t = text.toUpperCase();
  if (t === 'EAD') return 99;
  const m = /^E?(\d{1,2})$/.exec(t);
  return m ? Number(m[1]) : 0;
}

async function loadPage(name) {
  const f = view.filters;
  const page = await api('/api/achados?' + q({ nome: name, pagina: view.page, por_pagina: view.perPage,
    gravidade: f.gravidade, registro: recordNumber(f.registro), busca: f.busca, causa: f.causa ? '1' : '0' }));
  view.rows = page.linhas;
  const pages = Math.max(1, Math.ceil(page.filtrados / page.por_pagina));
  const body = el('tbody', {}, ...page.linhas.map((r, i) => el('tr', { class: 'linha-achado', 'data-indice': r.indice, onclick: () => selectRow(name, i) },
    el('td', { class: r.gravidade }, r.gravidade === 'erro' ? 'Erro' : 'Aviso'),
    el('td', { class: 'num' }, r.linha ?? ''), el('td', {}, r.registro), el('td', {}, r.campo_nome ?? ''),
    el('td', { class: 'num' }, r.crz ?? ''), el('td', { class: 'num' }, r.coo ?? ''), el('td', {}, r.mensagem))));
  const table = el('table', { id: 'achados' }, el('thead', {}, el('tr', {},
    ...['', 'Linha', 'Registro', 'Campo', 'CRZ', 'COO', 'Mensagem'].map(h => el('th', {}, h)))), body);
  const previous = el('button', { id: 'anterior' }, '‹ Anterior');
  const next = el('button', { id: 'proxima' }, 'Próxima ›');
  previous.disabled = view.page === 0;
  next.disabled = view.page + 1 >= pages;
  previous.addEventListener('click', () => { view.page--; loadPage(name).catch(fail); });
  next.addEventListener('click', () => { view.page++; loadPage(name).catch(fail); });
  const pager = el('div', { class: 'paginacao' }, previous,
    el('span', { id: 'pagina' }, 'Página ' + (view.page + 1) + ' de ' + pages + ' · ' + page.filtrados + ' de ' + page.total + ' achados'), next);
  document.getElementById('lista').replaceChildren(pager, page.linhas.length ? table : el('p', {}, 'Nenhum achado.'));
  view.selected = -1;
}

function selectRow(name, i) {
  const rows = document.querySelectorAll('#achados tbody tr');
  if (i < 0 || i >= rows.length) return;
  rows.forEach(r => r.classList.remove('selecionado'));
  rows[i].classList.add('selecionado');
  rows[i].scrollIntoView({ block: 'nearest' });
  view.selected = i;
  const row = view.rows[i];
  history.replaceState(null, '', fileLink(name, '/achado/' + row.indice));
  showRecord(name, row.linha, row).catch(fail);
}

async function pickFinding(name, index) {
  const at = view.rows.findIndex(r => r.indice === index);
  if (at >= 0) return selectRow(name, at);
  const row = await api('/api/achado?' + q({ nome: name, indice: index }));
  await showRecord(name, row.linha, row);
}

async function showRecord(name, line, finding) {
  const panel = document.getElementById('registro');
  if (!line) {
    panel.replaceChildren(el('p', {}, finding ? finding.mensagem : ''), el('p', { class: 'ajuda' }, 'Este achado não cita uma linha.'));
    return;
  }
  const r = await api('/api/registro?' + q({ nome: name, linha: line }));
  const failed = finding && finding.campo ? r.campos.find(c => c.numero === finding.campo) : null;
  const text = el('pre', { class: 'registro', id: 'texto-registro' });
  if (failed) {
    const from = failed.inicio - 1, to = from + failed.largura;
    text.append(r.texto.slice(0, from), el('mark', {}, r.texto.slice(from, to)), r.texto.slice(to));
  } else {
    text.textContent = r.texto;
  }
  const fields = el('table', { id: 'campos' }, el('thead', {}, el('tr', {}, ...['Nº', 'Campo', 'Valor', 'Significado'].map(h => el('th', {}, h)))),
    el('tbody', {}, ...r.campos.map(c => el('tr', { class: failed && c.numero === failed.numero ? 'falhou' : '' },
      el('td', { class: 'num' }, c.numero), el('td', {}, c.nome), el('td', {}, c.valor.replace(/ /g, '·')), el('td', {}, c.significado)))));
  const around = el('div', { id: 'vizinhas' }, ...r.vizinhas.map(v => el('pre', { class: 'registro vizinha' + (v.linha === line ? ' atual' : '') },
    String(v.linha).padStart(7, ' ') + '  ' + v.texto)));
  panel.replaceChildren(
    el('h2', {}, 'Linha ' + r.linha + ' · ' + (r.registro || 'registro desconhecido')),
    finding ? el('p', { class: finding.gravidade, id: 'causa-achado' }, finding.mensagem) : null,
    el('p', {}, el('a', { href: fileLink(name, '/linha/' + line), id: 'link-registro' }, 'Link para este registro'),
      finding ? ' · ' : '', finding ? el('a', { href: fileLink(name, '/achado/' + finding.indice) }, 'Link para este achado') : null),
    text, fields, el('h3', {}, 'Linhas vizinhas'), around);
}

async function showIndicators(name, s) {
  breadcrumb(name, 'indícios');
  const list = await api('/api/indicios?' + q({ nome: name }));
  const table = el('table', { id: 'indicios' }, el('thead', {}, el('tr', {},
    ...['Nível', 'Linha', 'Registro', 'CRZ', 'COO', 'Esperado', 'Encontrado', 'Indício'].map(h => el('th', {}, h)))),
    el('tbody', {}, ...list.map(i => el('tr', { class: i.nivel === 'alerta' ? 'alerta' : '' },
      el('td', {}, i.nivel), el('td', { class: 'num' }, i.linha ? el('a', { href: fileLink(name, '/linha/' + i.linha) }, i.linha) : ''),
      el('td', {}, i.registro), el('td', { class: 'num' }, i.crz ?? ''), el('td', { class: 'num' }, i.coo ?? ''),
      el('td', {}, i.esperado), el('td', {}, i.encontrado), el('td', {}, i.mensagem)))));
  show(summaryBlock(s), tabs(name, 'indicios'), list.length ? table : el('p', { id: 'indicios' }, 'Nenhum indício.'));
}

async function showReconciliation(name, s) {
  breadcrumb(name, 'conciliação');
  const c = await api('/api/conciliacao?' + q({ nome: name }));
  if (!c) return show(summaryBlock(s), tabs(name, 'conciliacao'), el('p', {}, 'Sem conciliação para esta validação.'));
  const rows = [];
  const bars = el('div', { class: 'barras', id: 'grafico', title: 'Diferença de cada redução Z' });
  const largest = Math.max(1, ...c.reducoes.map(z => Math.max(0, ...z.totais.map(t => Math.abs(t.centavos)))));
  for (const z of c.reducoes) {
    const worst = Math.max(0, ...z.totais.map(t => Math.abs(t.centavos)));
    const bar = el('div', { class: z.totais.every(t => t.dentro) ? '' : 'fora', title: 'CRZ ' + z.crz + ' · ' + z.data });
    bar.style.height = (100 * worst / largest) + '%';
    bars.append(bar);
    for (const t of z.totais)
      rows.push(el('tr', { class: t.dentro ? '' : 'fora' }, el('td', { class: 'num' }, z.crz), el('td', {}, z.data),
        el('td', {}, z.coo_inicial + '–' + z.coo_final), el('td', {}, t.registro), el('td', {}, t.nome),
        el('td', { class: 'num' }, t.linha ? el('a', { href: fileLink(name, '/linha/' + t.linha) }, t.linha) : ''),
        el('td', { class: 'num' }, t.declarado), el('td', { class: 'num' }, t.calculado), el('td', { class: 'num' }, t.diferenca)));
  }
  const table = el('table', { id: 'conciliacao' }, el('thead', {}, el('tr', {},
    ...['CRZ', 'Data', 'COO', 'Registro', 'Nome', 'Linha', 'Declarado (R$)', 'Calculado (R$)', 'Diferença (R$)'].map(h => el('th', {}, h)))),
    el('tbody', {}, ...rows));
  show(summaryBlock(s), tabs(name, 'conciliacao'), el('p', {}, 'Tolerância: R$ ' + c.tolerancia + (c.aviso ? ' · ' + c.aviso : '')),
    bars, table);
}

// ---- routing and keys --------------------------------------------------------
function parseRoute() {
  const parts = location.hash.replace(/^#\/?/, '').split('/').map(decodeURIComponent);
  if (parts[0] !== 'arquivo' || !parts[1]) return { list: true };
  const route = { name: parts[1], tab: 'achados' };
  if (parts[2] === 'achado') route.finding = Number(parts[3]);
  else if (parts[2] === 'linha') route.line = Number(parts[3]);
  else if (parts[2]) route.tab = parts[2];
  return route;
}

function fail(e) { status(e.message || String(e)); }

// Each change of address starts a render; one that was overtaken by a later one
// while it waited for the server may have drawn over it, so the page is drawn
// again for the address it has now.
let renders = 0;
async function route() {
  const mine = ++renders;
  await render();
  if (mine !== renders) await render();
}

async function render() {
  const r = parseRoute();
  try {
    if (r.list) await showList();
    else if (!(view.name === r.name && r.tab === 'achados' && document.getElementById('achados') && (r.finding !== undefined || r.line !== undefined)))
      await showFile(r.name, r);
    else if (r.finding !== undefined) await pickFinding(r.name, r.finding);
    else await showRecord(r.name, r.line, null);
  } catch (e) {
    show(el('p', { class: 'erro' }, e.message), el('p', {}, el('a', { href: '#/' }, 'Voltar à lista de arquivos')));
  }
}

// The window's keys: F8 / Shift+F8 (or ↓/↑, j/k) step through the findings, going on
// to the next or previous page; PageDown/PageUp change page; Ctrl+F searches, Esc
// clears the search; Ctrl+C with nothing selected copies the chosen finding.
async function step(delta) {
  const rows = document.querySelectorAll('#achados tbody tr');
  const next = view.selected + delta;
  if (next >= rows.length && !document.getElementById('proxima').disabled) {
    view.page++;
    await loadPage(view.name);
    return selectRow(view.name, 0);
  }
  if (next < 0 && view.selected >= 0 && !document.getElementById('anterior').disabled) {
    view.page--;
    await loadPage(view.name);
    return selectRow(view.name, document.querySelectorAll('#achados tbody tr').length - 1);
  }
  selectRow(view.name, Math.max(0, Math.min(next, rows.length - 1)));
}

document.addEventListener('keydown', e => {
  const search = document.getElementById('busca');
  if (e.ctrlKey && e.key === 'f' && search) { e.preventDefault(); search.focus(); search.select(); return; }
  if (e.key === 'Escape' && e.target === search) { search.value = ''; search.dispatchEvent(new Event('input')); search.blur(); return; }
  if (e.target.closest('input, select, textarea')) return;
  if (!document.getElementById('achados')) return;
  const row = view.rows[view.selected];
  if (e.ctrlKey && e.key === 'c' && row && navigator.clipboard && !String(window.getSelection())) {
    navigator.clipboard.writeText([row.gravidade, row.linha ?? '', row.registro, row.campo_nome ?? '', row.crz ?? '', row.coo ?? '', row.mensagem].join('\t'));
    status('Achado copiado.');
    return;
  }
  const down = (e.key === 'F8' && !e.shiftKey) || e.key === 'ArrowDown' || e.key === 'j';
  const up = (e.key === 'F8' && e.shiftKey) || e.key === 'ArrowUp' || e.key === 'k';
  if (down || up) { e.preventDefault(); step(down ? 1 : -1).catch(fail); }
  else if (e.key === 'PageDown' && !document.getElementById('proxima').disabled) document.getElementById('proxima').click();
  else if (e.key === 'PageUp' && !document.getElementById('anterior').disabled) document.getElementById('anterior').click();
});

window.addEventListener('hashchange', route);
window.addEventListener('DOMContentLoaded', async () => {
  try {
    const s = await api('/api/sessao');
    csrf = s.csrf;
    uploadLimit = s.limite_envio;
  } catch (e) { return fail(e); }
  route();
});
